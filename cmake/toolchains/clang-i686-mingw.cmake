# Clang for 32-bit Windows on MinGW-w64's headers: the build that
# finds every 64-bit size narrowed to 32 bits (-Wshorten-64-to-32, which GCC
# lacks), where the i686 release would cut it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(triple i686-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER_TARGET ${triple})
set(CMAKE_RC_COMPILER ${triple}-windres)
# Clang does not find MinGW's C++ library by itself: the posix-thread GCC's.
set(gcc_root /usr/lib/gcc/${triple}/12-posix)
set(CMAKE_CXX_FLAGS_INIT
  "-nostdinc++ -isystem ${gcc_root}/include/c++ -isystem ${gcc_root}/include/c++/${triple} -isystem ${gcc_root}/include/c++/backward")
# This build compiles only; its compiler checks must not try to link either.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
