# Cross build of the 32-bit Windows console program with mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# Doubles in SSE2 registers round exactly as on x86-64; long double stays
# the x87 80-bit format the power function works in.
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
