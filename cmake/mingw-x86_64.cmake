# Cross build for 64-bit Windows with mingw-w64. Runs under wine64, on any 64-bit host.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TM_MINGW_TARGET x86_64-w64-mingw32)
set(TM_WINE_ARCH win64)
set(TM_MINGW_FP_FLAGS "")   # SSE2 doubles are the default on x86-64
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
