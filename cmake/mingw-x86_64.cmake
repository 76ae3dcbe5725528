# Cross toolchain: the 64-bit twin of the same programs, for hosts whose
# kernel runs no 32-bit code (and so no 32-bit Wine); it keeps the sources
# compiling for both.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KV_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
