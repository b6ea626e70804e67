# SPDX-License-Identifier: GPL-3.0-or-later
# 64-bit Windows; the tests run under Wine.
set(RVZ_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
