# i686 Windows, compile only: 32-bit programs cannot run on the build machines,
# but building checks every record layout at the 32-bit width.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(WX_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${WX_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${WX_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${WX_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${WX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
