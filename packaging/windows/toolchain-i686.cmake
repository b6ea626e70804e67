# 32-bit Windows: only compiled, to let the compiler check the stdcall
# convention of the vendor library's operations.
set(RVZ_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
