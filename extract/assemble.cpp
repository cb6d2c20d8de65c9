// The assemblers as the worker calls them: the resources of a module loaded as
// a data file, each bounded by LockResourceData to the bytes really mapped,
// handed to the byte-level assemblers.
#include "assemble.h"

namespace {

ResourceSpan LockSpan(HMODULE module, LPCSTR name, LPCSTR type) {
    DWORD size = 0;
    ResourceSpan span;
    span.bytes = (const unsigned char*)LockResourceData(module, name, type, &size);
    span.size = span.bytes != nullptr ? size : 0;
    return span;
}

bool FindModuleImage(void* context, uint16_t type, uint16_t id, ResourceSpan* image) {
    *image = LockSpan((HMODULE)context, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(type));
    return image->bytes != nullptr;
}

size_t AssembleGroupFile(void* buffer, HMODULE module, LPCSTR name, LPCSTR type, GroupKind kind) {
    ResourceSpan group = LockSpan(module, name, type);
    ImageSource images = {FindModuleImage, (void*)module};
    return AssembleGroupBytes((unsigned char*)buffer, group, kind, &images);
}

}  // namespace

size_t AssembleIconFile(void* buffer, size_t bufferSize, HMODULE module, LPCSTR name, LPCSTR type) {
    PELNORE_UNUSED(bufferSize);
    return AssembleGroupFile(buffer, module, name, type, GROUP_ICON);
}

size_t AssembleCursorFile(void* buffer, size_t bufferSize, HMODULE module, LPCSTR name,
                          LPCSTR type) {
    PELNORE_UNUSED(bufferSize);
    return AssembleGroupFile(buffer, module, name, type, GROUP_CURSOR);
}

size_t AssembleBitmapFile(void* buffer, size_t bufferSize, HMODULE module, LPCSTR name,
                          LPCSTR type) {
    PELNORE_UNUSED(bufferSize);
    return AssembleBitmapBytes((unsigned char*)buffer, LockSpan(module, name, type));
}
