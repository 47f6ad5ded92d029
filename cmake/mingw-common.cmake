# The part of the mingw-w64 toolchain files that both Windows builds share. The including file sets
# CMAKE_SYSTEM_PROCESSOR, TM_MINGW_TARGET (the compiler prefix) and TM_WINE_ARCH (win32 or win64,
# whose wine loader runs programs of that processor) first.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: GoogleTest needs std::mutex.
find_program(CMAKE_C_COMPILER NAMES ${TM_MINGW_TARGET}-gcc-posix)
find_program(CMAKE_CXX_COMPILER NAMES ${TM_MINGW_TARGET}-g++-posix)
find_program(CMAKE_RC_COMPILER NAMES ${TM_MINGW_TARGET}-windres)
foreach(tool CMAKE_C_COMPILER CMAKE_CXX_COMPILER CMAKE_RC_COMPILER)
  if(NOT ${tool})
    message(FATAL_ERROR "No ${TM_MINGW_TARGET} cross compiler found (${tool}). "
                        "Install it with scripts/setup-debian.sh (package g++-mingw-w64-*).")
  endif()
endforeach()

# Programs and tests run under wine, with the loader of the build's processor, as
# scripts/wine-loader.sh finds it. Without a loader the build still works; only its tests cannot run.
execute_process(COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-loader.sh ${TM_WINE_ARCH}
                OUTPUT_VARIABLE TM_WINE OUTPUT_STRIP_TRAILING_WHITESPACE)
if(TM_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TM_WINE})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${TM_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# -ffp-contract=off: no fused multiply-add, so scores are the same to the bit as natively.
set(CMAKE_C_FLAGS_INIT "${TM_MINGW_FP_FLAGS} -ffp-contract=off")
set(CMAKE_CXX_FLAGS_INIT "${TM_MINGW_FP_FLAGS} -ffp-contract=off")
# Fully static: no libgcc, libstdc++ or winpthread DLL beside the programs. No build time in the
# PE header, so the same sources give the same executable.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
set(CMAKE_RC_FLAGS_INIT "-c 65001")
