# Cross toolchain: 32-bit Windows, what ships (kvsetup.exe is PE32, i386).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KV_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
