# What both mingw-w64 toolchain files share: Windows, the posix thread model (std::thread),
# a static runtime, and test programs run through Wine. Needs MG_MINGW_TRIPLET.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${MG_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MG_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${MG_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MG_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh")
