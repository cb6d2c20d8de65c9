# Cross build for 64-bit Windows with MinGW-w64; tests run through Wine's
# 64-bit loader.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PELNORE_MINGW_TRIPLET x86_64-w64-mingw32)
set(PELNORE_WINE_RUN_ARGUMENTS --x64)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")
