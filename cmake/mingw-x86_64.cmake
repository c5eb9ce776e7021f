# Cross-compiles the 64-bit Windows console program with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TVX_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
