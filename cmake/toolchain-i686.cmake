set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZENTRIX_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${ZENTRIX_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZENTRIX_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${ZENTRIX_TRIPLE}-windres)
set(ZENTRIX_WIDL       ${ZENTRIX_TRIPLE}-widl)
set(ZENTRIX_WIDL_ARCH  -m32)
set(ZENTRIX_WINE       /usr/lib/wine/wine)
set(CMAKE_FIND_ROOT_PATH /usr/${ZENTRIX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Floating-point arithmetic in SSE registers: x87 code keeps intermediate
# results in 80-bit registers, so a float or double the library hands out could
# differ from the x86_64 build's. (With SSE the mingw target also realigns the
# stack on entry, since callers from other compilers keep only 4-byte alignment.)
set(CMAKE_C_FLAGS_INIT   "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
