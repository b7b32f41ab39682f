# The 64-bit Windows program: the same source, built for the Wine that runs
# on our 64-bit Linux machines (and for the end-to-end tests there).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUORIX_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
