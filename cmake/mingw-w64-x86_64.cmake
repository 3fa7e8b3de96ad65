# Cross-compiling for 64-bit Windows with MinGW-w64 (Debian's
# g++-mingw-w64-x86-64):  cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_prefix x86_64-w64-mingw32)
# The posix thread model where Debian offers both, as MSYS2's compilers have.
find_program(CMAKE_C_COMPILER NAMES ${mingw_prefix}-gcc-posix ${mingw_prefix}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${mingw_prefix}-g++-posix ${mingw_prefix}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${mingw_prefix}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes linked in: the programs then need only the DLLs
# that every Windows has.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Programs built here and run during the build (the demo assets) run under
# Wine when it is installed, unless the command line names another way.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(SZABLON_WINE NAMES wine)
  if(SZABLON_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${SZABLON_WINE})
  endif()
endif()
