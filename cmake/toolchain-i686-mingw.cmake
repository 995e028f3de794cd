# Cross toolchain: 32-bit Windows programs (the shipped target), posix-threads mingw-w64 compilers.
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
