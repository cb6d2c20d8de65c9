# Cross build for 32-bit Windows with MinGW-w64; tests run through Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PELNORE_MINGW_TRIPLET i686-w64-mingw32)
set(PELNORE_WINE_RUN_ARGUMENTS "")
include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")
