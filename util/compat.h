// The Windows headers with the project's settings, and the toolchain differences
// between MinGW-w64 GCC and MSVC (compiler.h). Windows code includes this header
// instead of testing compilers itself; code without Windows includes compiler.h.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "compiler.h"
