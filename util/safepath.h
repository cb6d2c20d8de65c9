// Relative paths made safe from a path that came from outside, such as a
// container member's name: what is left names a file inside whatever folder it
// is joined to. Code page 932 text; no Windows header (fuzzed natively).
#pragma once

#include <stddef.h>

// The longest component of a safe path in bytes: the file systems' limit of
// 255 characters, counted in bytes so that it holds whatever the characters.
enum { SAFE_COMPONENT_MAX = 255 };

// Writes into dest, which holds capacity bytes, the length bytes at path (not
// necessarily terminated; a zero byte among them is a control character) as a
// relative path: its components joined by backslashes, without a drive, root,
// UNC or "\\?\" prefix, "." or ".." steps, empty components, characters that
// Windows refuses in names, trailing dots or spaces, or device names. Returns
// its length, or 0 with dest empty (when capacity is not 0) when nothing is
// left or nothing fits. The same text and capacity always give the same path,
// and a safe path comes back unchanged.
size_t MakeSafeRelativePath(const char* path, size_t length, char* dest, size_t capacity);

// The length bytes at name are a device's name in any case, alone or before a
// dot, spaces before it allowed ("nul", "COM1.dll", "Aux .txt"): Windows opens
// the device instead of a file of that name.
bool IsDeviceName(const char* name, size_t length);
