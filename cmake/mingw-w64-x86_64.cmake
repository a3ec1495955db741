# Cross-build for 64-bit Windows with Debian's MinGW-w64 (posix threads, so std::thread works).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QF_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${QF_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QF_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QF_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QF_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Static archives only: the binaries must run on a bare Windows with nothing else installed.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
