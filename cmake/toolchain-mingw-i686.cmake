# 32-bit Windows with mingw-w64: the program we ship.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(MG_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
