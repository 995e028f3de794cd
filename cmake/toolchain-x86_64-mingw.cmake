# Cross toolchain: the same sources as 64-bit Windows programs. Used to run the test suite on
# machines whose kernel cannot execute 32-bit code (Wine then runs 32-bit programs only under
# CPU emulation, far too slowly for one process per test case).
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
