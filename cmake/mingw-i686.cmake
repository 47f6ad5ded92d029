# Cross build for 32-bit Windows with mingw-w64: the reference program. Runs under wine32, which
# needs a host that can run 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TM_MINGW_TARGET i686-w64-mingw32)
set(TM_WINE_ARCH win32)
# SSE2 doubles: the x87 default keeps 80-bit intermediates and scores would differ from native.
set(TM_MINGW_FP_FLAGS "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
