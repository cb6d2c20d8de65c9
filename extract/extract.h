// The worker's per-file loop and the resource enumeration it drives.
#pragma once

#include "../util/compat.h"

struct WorkerThread;

// Shape of the three assemblers: with a null buffer only measures. Returns the
// byte count of the whole file image, 0 when the resource yields no file.
typedef size_t (*FileAssembler)(void* buffer, size_t bufferSize, HMODULE module, LPCSTR name,
                                LPCSTR type);

// Thread routine; argument is the ExtractionJob. Always returns 0.
unsigned ExtractionWorker(WorkerThread* thread, void* argument);

bool IsExistingFile(const char* path);
bool ExtractResourcesOfType(const char* path, const char* extension, FileAssembler assembler,
                            WORD resourceType);
// Pointer to the resource's bytes and, when size is given, its real size.
const void* LockResourceData(HMODULE module, LPCSTR name, LPCSTR type, DWORD* size);
