# The 64-bit Windows check build: the same sources and tests for x86_64 Windows, run under 64-bit
# Wine. It stands in on machines that cannot execute 32-bit programs (no 32-bit Wine), so the
# Windows code paths (WinINet, URL Monikers, registry, code pages, files) still run somewhere. The
# product stays the 32-bit DLL; the 32-bit layouts are asserted only there.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine64-run.sh)
