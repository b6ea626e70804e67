# SPDX-License-Identifier: GPL-3.0-or-later
# 32-bit Windows, the width of the adapter's usual library: the programs we
# ship. The tests run under 32-bit Wine.
set(RVZ_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
