# Shared part of the MinGW-w64 toolchain files; KV_MINGW_TRIPLE names the
# target (i686-w64-mingw32 or x86_64-w64-mingw32); programs run under Wine.
# The win32 thread model: the C++ runtime's locks are Windows' own, where
# the posix model's would bring winpthreads (about 30 KB) into kvsetup.exe,
# which makes its threads with CreateThread. GCC 12 has std::mutex in this
# model but not std::thread or std::condition_variable: use Windows threads.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${KV_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${KV_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER  ${KV_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Test programs run through tests/support/wine-run, which gives each ctest run
# a private 64-bit prefix with code page 936 and a virtual display.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/support/wine-run)
