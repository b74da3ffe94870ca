# Cross-compiles for 64-bit Windows with mingw-w64 on Debian:
#   cmake -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake ...
# The posix-thread variant of the compiler is the one with std::thread and std::mutex; the
# win32-thread variant lacks them. The runtime is linked statically so that an .exe runs on a
# machine (or in a Wine prefix) that has no mingw DLLs. Tests and test discovery run through
# scripts/wine-run, which gives Wine a scratch prefix of its own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NULLDRIFT_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${NULLDRIFT_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NULLDRIFT_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${NULLDRIFT_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${NULLDRIFT_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

get_filename_component(NULLDRIFT_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${NULLDRIFT_SOURCE_ROOT}/scripts/wine-run")

# -O2 rather than -O3: at -O3 GCC 12 warns of overlapping copies and uninitialised strings in
# its own std::string code (false alarms that -Werror would turn into failures).
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of the Release build")
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of the Release build")
