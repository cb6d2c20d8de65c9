// Test helpers for modules with exact resources and for loading written files.
#include "resbuilder.h"

#include "../support/testsupport.h"

namespace restest {

// The resource directory of our own test module, read as the loader reads it:
// the image's resource data directory, its section, then type, name and
// language levels.
static size_t RvaToOffset(const Bytes& file, const IMAGE_NT_HEADERS32* nt, DWORD rva) {
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; i++, section++) {
        if (rva >= section->VirtualAddress &&
            rva < section->VirtualAddress + section->SizeOfRawData)
            return section->PointerToRawData + (rva - section->VirtualAddress);
    }
    return file.size();
}

// The optional headers of PE32 and PE32+ modules keep the data directory at
// different offsets; the 64-bit build's test modules are PE32+.
static DWORD ResourceDirectoryRva(const IMAGE_NT_HEADERS32* nt) {
    const int entry = IMAGE_DIRECTORY_ENTRY_RESOURCE;
    if (nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        return ((const IMAGE_NT_HEADERS64*)nt)->OptionalHeader.DataDirectory[entry].VirtualAddress;
    return nt->OptionalHeader.DataDirectory[entry].VirtualAddress;
}

static const IMAGE_RESOURCE_DIRECTORY_ENTRY* DirectoryEntries(const unsigned char* directory,
                                                              unsigned* count) {
    const IMAGE_RESOURCE_DIRECTORY* header = (const IMAGE_RESOURCE_DIRECTORY*)directory;
    *count = header->NumberOfNamedEntries + header->NumberOfIdEntries;
    return (const IMAGE_RESOURCE_DIRECTORY_ENTRY*)(header + 1);
}

size_t ResourceRoot(const Bytes& file) {
    const IMAGE_DOS_HEADER* dos = (const IMAGE_DOS_HEADER*)file.data();
    const IMAGE_NT_HEADERS32* nt = (const IMAGE_NT_HEADERS32*)(file.data() + dos->e_lfanew);
    DWORD rva = ResourceDirectoryRva(nt);
    size_t base = RvaToOffset(file, nt, rva);
    return rva == 0 || base >= file.size() ? 0 : base;
}

static size_t IdEntry(const Bytes& file, size_t directory, WORD id) {
    unsigned count = 0;
    const IMAGE_RESOURCE_DIRECTORY_ENTRY* entry = DirectoryEntries(file.data() + directory, &count);
    for (unsigned i = 0; i < count; i++, entry++)
        if (!entry->NameIsString && entry->Id == id)
            return (size_t)((const unsigned char*)entry - file.data());
    return 0;
}

size_t ResourceEntry(const Bytes& file, WORD typeId, WORD nameId) {
    size_t root = ResourceRoot(file);
    size_t type = root != 0 ? IdEntry(file, root, typeId) : 0;
    if (type == 0 || nameId == 0) return type;
    return IdEntry(file, root + (GetDword(file, type + 4) & 0x7FFFFFFF), nameId);
}

bool SetResourceDataSizes(const std::string& path, WORD typeId, DWORD size) {
    Bytes file;
    if (!testsupport::ReadFileBytes(path, &file)) return false;
    size_t base = ResourceRoot(file);
    if (base == 0) return false;
    unsigned char* root = file.data() + base;
    unsigned types = 0, patched = 0;
    const IMAGE_RESOURCE_DIRECTORY_ENTRY* type = DirectoryEntries(root, &types);
    for (unsigned t = 0; t < types; t++, type++) {
        if (type->NameIsString || type->Id != typeId || !type->DataIsDirectory) continue;
        unsigned names = 0;
        const IMAGE_RESOURCE_DIRECTORY_ENTRY* name =
            DirectoryEntries(root + type->OffsetToDirectory, &names);
        for (unsigned n = 0; n < names; n++, name++) {
            unsigned languages = 0;
            const IMAGE_RESOURCE_DIRECTORY_ENTRY* language =
                DirectoryEntries(root + name->OffsetToDirectory, &languages);
            for (unsigned l = 0; l < languages; l++, language++) {
                ((IMAGE_RESOURCE_DATA_ENTRY*)(root + language->OffsetToData))->Size = size;
                patched++;
            }
        }
    }
    return patched > 0 && testsupport::WriteFileBytes(path, file.data(), file.size());
}

HMODULE LoadDataModule(const std::string& path) {
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

void PutWord(Bytes* b, unsigned value) {
    b->push_back((unsigned char)value);
    b->push_back((unsigned char)(value >> 8));
}

void PutDword(Bytes* b, unsigned long value) {
    PutWord(b, (unsigned)(value & 0xFFFF));
    PutWord(b, (unsigned)(value >> 16));
}

unsigned GetWord(const Bytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8);
}

unsigned long GetDword(const Bytes& b, size_t at) {
    return GetWord(b, at) | ((unsigned long)GetWord(b, at + 2) << 16);
}

static size_t RowBytes(long width, unsigned bits) {
    return ((width * bits + 31) / 32) * 4;
}

Bytes MakeDib(long width, long height, unsigned bits, unsigned paletteEntries, unsigned compression,
              unsigned long coloursUsed, unsigned planes) {
    Bytes b;
    PutDword(&b, 40);
    PutDword(&b, (unsigned long)width);
    PutDword(&b, (unsigned long)height);
    PutWord(&b, planes);
    PutWord(&b, bits);
    PutDword(&b, compression);
    PutDword(&b, 0);
    PutDword(&b, 0);
    PutDword(&b, 0);
    PutDword(&b, coloursUsed);
    PutDword(&b, 0);
    for (unsigned i = 0; i < paletteEntries; i++) PutDword(&b, (i * 0x10305u) & 0xFFFFFF);
    long rows = height < 0 ? -height : height;
    size_t pixels = RowBytes(width, bits) * (size_t)rows;
    for (size_t i = 0; i < pixels; i++) b.push_back((unsigned char)(i * 7 + 3));
    return b;
}

Bytes MakeIconImage(unsigned width, unsigned height, unsigned bits, unsigned seed) {
    unsigned palette = bits <= 8 ? 1u << bits : 0;
    Bytes b;
    PutDword(&b, 40);
    PutDword(&b, width);
    PutDword(&b, height * 2);
    PutWord(&b, 1);
    PutWord(&b, bits);
    for (int i = 0; i < 6; i++) PutDword(&b, 0);
    for (unsigned i = 0; i < palette; i++) PutDword(&b, (i * 0x0F1F3Fu + seed) & 0xFFFFFF);
    size_t colour = RowBytes(width, bits) * height;
    for (size_t i = 0; i < colour; i++) b.push_back((unsigned char)(i * 13 + seed));
    size_t mask = RowBytes(width, 1) * height;
    for (size_t i = 0; i < mask; i++) b.push_back(i % 5 == 0 ? 0xF0 : 0x00);
    return b;
}

Bytes IconGroupEntry(unsigned width, unsigned height, unsigned colours, unsigned bits,
                     unsigned long bytes, unsigned id) {
    Bytes b;
    b.push_back((unsigned char)width);
    b.push_back((unsigned char)height);
    b.push_back((unsigned char)colours);
    b.push_back(0);
    PutWord(&b, 1);
    PutWord(&b, bits);
    PutDword(&b, bytes);
    PutWord(&b, id);
    return b;
}

Bytes CursorGroupEntry(unsigned width, unsigned height, unsigned planes, unsigned bits,
                       unsigned long bytes, unsigned id) {
    Bytes b;
    PutWord(&b, width);
    PutWord(&b, height);
    PutWord(&b, planes);
    PutWord(&b, bits);
    PutDword(&b, bytes);
    PutWord(&b, id);
    return b;
}

Bytes GroupHeader(unsigned type, unsigned count) {
    Bytes b;
    PutWord(&b, 0);
    PutWord(&b, type);
    PutWord(&b, count);
    return b;
}

Bytes Hotspot(unsigned x, unsigned y, const Bytes& image) {
    Bytes b;
    PutWord(&b, x);
    PutWord(&b, y);
    b.insert(b.end(), image.begin(), image.end());
    return b;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

static bool BitmapSize(HBITMAP bitmap, int* width, int* height) {
    BITMAP info;
    if (bitmap == nullptr || GetObjectA(bitmap, sizeof(info), &info) == 0) return false;
    *width = info.bmWidth;
    *height = info.bmHeight;
    return true;
}

bool LoadImageSize(const std::string& path, UINT type, int wantWidth, int wantHeight, int* width,
                   int* height) {
    *width = *height = 0;
    HANDLE image = LoadImageA(nullptr, path.c_str(), type, wantWidth, wantHeight, LR_LOADFROMFILE);
    if (image == nullptr) return false;
    bool ok = false;
    if (type == IMAGE_BITMAP) {
        ok = BitmapSize((HBITMAP)image, width, height);
        DeleteObject(image);
        return ok;
    }
    ICONINFO info;
    if (GetIconInfo((HICON)image, &info)) {
        if (info.hbmColor != nullptr) {
            ok = BitmapSize(info.hbmColor, width, height);
        } else if (BitmapSize(info.hbmMask, width, height)) {
            *height /= 2;
            ok = true;
        }
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
    }
    if (type == IMAGE_CURSOR)
        DestroyCursor((HCURSOR)image);
    else
        DestroyIcon((HICON)image);
    return ok;
}

}  // namespace restest
