# The 32-bit Windows desktop program, the one Windows users run.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUORIX_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
