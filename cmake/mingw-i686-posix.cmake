# 32-bit Windows (the specified build): MinGW-w64 with POSIX threads, so that
# std::thread and std::mutex exist, linked statically so Wine needs no extra DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(NF_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
