# Cross build of the Windows product with MinGW-w64 (i686, posix thread model: GoogleTest needs std::mutex; winpthread is linked in statically).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Test programs run under Wine through this wrapper (private prefix, Korean ANSI code page).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
