# SPDX-License-Identifier: GPL-3.0-or-later
# Cross build for Windows with Debian's MinGW-w64 (the posix thread model,
# for std::thread). The including toolchain file sets RVZ_MINGW_ARCH.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${RVZ_MINGW_ARCH})
set(CMAKE_C_COMPILER ${RVZ_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${RVZ_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${RVZ_MINGW_ARCH}-w64-mingw32-windres)
# RVZ_QT_PREFIX: a Qt built for this target (scripts/build-qt-mingw.sh),
# searched as a root of its own.
set(CMAKE_FIND_ROOT_PATH /usr/${RVZ_MINGW_ARCH}-w64-mingw32 ${RVZ_QT_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The executables carry their runtime, so Wine needs no MinGW DLLs on its path.
# The same commit links the same bytes: no link time in the PE header, and
# the source folder mapped out of whatever names a file.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
get_filename_component(RVZ_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
set(CMAKE_C_FLAGS_INIT "-ffile-prefix-map=${RVZ_SOURCE_ROOT}=.")
set(CMAKE_CXX_FLAGS_INIT "-ffile-prefix-map=${RVZ_SOURCE_ROOT}=.")
