# 64-bit Windows with mingw-w64: the program's twin for machines that cannot run 32-bit
# programs. It is tested, never shipped.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(MG_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
