# Cross build of a 64-bit Windows console program with mingw-w64: a test
# build of the same sources for machines whose kernel runs no 32-bit
# programs (wine64 runs it there). The product stays the 32-bit program.
# x86-64 keeps doubles in SSE2 registers anyway; long double is the x87
# 80-bit format as on the 32-bit program.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
