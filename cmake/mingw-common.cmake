# The body of the cross toolchain files: MinGW-w64's -posix compilers of the
# triplet that the file names, its own root, and the tests run through Wine.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${PELNORE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELNORE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PELNORE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PELNORE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# CTest runs every test program through this wrapper, which sets the prefix,
# the locale (code page 932) and the debug channels; its arguments choose the
# build's Wine loader.
set(CMAKE_CROSSCOMPILING_EMULATOR
  "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run" ${PELNORE_WINE_RUN_ARGUMENTS})
