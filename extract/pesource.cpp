// The PE form of the resource source: the resource directory of a 32- or
// 64-bit module read by peres.h from the mapped file, never by the system
// loader. Named types and names are converted from the directory's UTF-16
// into terminated texts of the ANSI code page for the visit.
#include <string.h>

#include "../util/lebytes.h"
#include "source.h"

namespace {

// Names are converted up to this many UTF-16 units (resource compilers write
// a few dozen at most); a longer name is cut for the visit, and a wanted name
// that long finds nothing.
const size_t NAME_UNITS = 256;

// A name as a terminated text: room for three bytes per unit, the most that
// any ANSI code page (UTF-8 included) makes of one.
struct NameText {
    char text[NAME_UNITS * 3 + 1];
};

size_t CopyUnits(const PeName* name, WCHAR* units) {
    size_t length = name->name != nullptr ? name->nameLength : 0;
    if (length > NAME_UNITS) length = NAME_UNITS;
    for (size_t i = 0; i < length; i++) units[i] = (WCHAR)ReadLE16(name->name + 2 * i);
    return length;
}

// A type or resource as the source delivers it: its integer identifier, or its
// name converted into out.
LPCSTR IdOrName(const PeName* name, NameText* out) {
    if (!name->named) return MAKEINTRESOURCEA(name->id);
    WCHAR units[NAME_UNITS];
    size_t length = CopyUnits(name, units);
    int written = 0;
    if (length > 0)
        written = WideCharToMultiByte(CP_ACP, 0, units, (int)length, out->text,
                                      (int)sizeof(out->text) - 1, nullptr, nullptr);
    out->text[written > 0 ? written : 0] = '\0';
    return out->text;
}

WCHAR UpperAscii(WCHAR c) {
    return c >= L'a' && c <= L'z' ? (WCHAR)(c - L'a' + L'A') : c;
}

// Names are compared as the loader compares them: ASCII letters without
// regard to case (resource compilers store names in upper case).
bool NameMatches(const PeName* name, const WCHAR* wanted, size_t length) {
    if (!name->named || name->name == nullptr || name->nameLength != length) return false;
    for (size_t i = 0; i < length; i++)
        if (UpperAscii((WCHAR)ReadLE16(name->name + 2 * i)) != UpperAscii(wanted[i])) return false;
    return true;
}

// The languages in which a resource is taken: the ones, in the order, that the
// system's loader tries when FindResourceA asks for the neutral language, as
// pelnore asked it before it read the directory itself: neutral, the thread's
// language, the user's default language and its primary language with the
// neutral sublanguage, the same for the system's default language, then U.S.
// English; a name held in none of them gives its first language entry. The
// list is taken when the module is opened, on the thread that reads it.
void ChooseLanguages(ResourceSource* source) {
    LANGID user = GetUserDefaultLangID(), system = GetSystemDefaultLangID();
    const LANGID wanted[] = {MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                             LANGIDFROMLCID(GetThreadLocale()),
                             user,
                             MAKELANGID(PRIMARYLANGID(user), SUBLANG_NEUTRAL),
                             system,
                             MAKELANGID(PRIMARYLANGID(system), SUBLANG_NEUTRAL),
                             MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT)};
    static_assert(sizeof(wanted) / sizeof(wanted[0]) <= PE_LANGUAGE_CAPACITY, "room for all");
    source->languageCount = 0;
    for (LANGID id : wanted) {
        bool known = false;
        for (size_t i = 0; i < source->languageCount; i++)
            if (source->languageIds[i] == id) known = true;
        if (!known) source->languageIds[source->languageCount++] = id;
    }
}

PeLanguages LanguagesOf(const ResourceSource* source) {
    PeLanguages languages = {source->languageIds, source->languageCount};
    return languages;
}

// A type delivered by the enumeration comes back with its directory; an
// integer type without one is looked up.
bool DirectoryOf(const ResourceSource* source, const ResourceType* type, size_t* directory) {
    *directory = type->directory;
    if (*directory != 0) return true;
    return IS_INTRESOURCE(type->id) &&
           FindPeType(&source->pe, (uint16_t)(uintptr_t)type->id, directory);
}

struct TypeVisit {
    ResourceTypeVisitor visit;
    void* context;
};

bool OnPeType(void* context, const PeType* type) {
    const TypeVisit* visit = (const TypeVisit*)context;
    NameText name;
    ResourceType delivered = {IdOrName(&type->name, &name), type->directory};
    return visit->visit(visit->context, &delivered);
}

struct NameVisit {
    ResourceVisitor visit;
    void* context;
};

bool OnPeResource(void* context, const PeResource* resource) {
    const NameVisit* visit = (const NameVisit*)context;
    NameText name;
    ResourceSpan bytes = {resource->bytes, resource->size};
    return visit->visit(visit->context, IdOrName(&resource->name, &name), bytes);
}

void EnumPeSourceTypes(const ResourceSource* source, ResourceTypeVisitor visit, void* context) {
    TypeVisit state = {visit, context};
    EnumPeTypes(&source->pe, OnPeType, &state);
}

typedef size_t (*PeNameEnumerator)(const PeModule* module, size_t directory,
                                   const PeLanguages* languages, PeResourceVisitor visit,
                                   void* context);

// The resources of a type through one of the reader's enumerations of names.
void EnumPeSourceNames(const ResourceSource* source, const ResourceType* type,
                       PeNameEnumerator enumerate, ResourceVisitor visit, void* context) {
    size_t directory = 0;
    if (!DirectoryOf(source, type, &directory)) return;
    NameVisit state = {visit, context};
    PeLanguages languages = LanguagesOf(source);
    enumerate(&source->pe, directory, &languages, OnPeResource, &state);
}

void EnumPeSourceResources(const ResourceSource* source, const ResourceType* type,
                           ResourceVisitor visit, void* context) {
    EnumPeSourceNames(source, type, EnumPeResources, visit, context);
}

void EnumPeSourceOtherLanguages(const ResourceSource* source, const ResourceType* type,
                                ResourceVisitor visit, void* context) {
    EnumPeSourceNames(source, type, EnumPeOtherLanguages, visit, context);
}

struct NameSearch {
    WCHAR wanted[NAME_UNITS + 1];
    size_t length;
    PeResource found;
    bool matched;
};

bool OnSearchedResource(void* context, const PeResource* resource) {
    NameSearch* search = (NameSearch*)context;
    if (!NameMatches(&resource->name, search->wanted, search->length)) return true;
    search->found = *resource;
    search->matched = true;
    return false;
}

bool FindPeSourceResource(const ResourceSource* source, const ResourceType* type, LPCSTR name,
                          ResourceSpan* bytes) {
    *bytes = {nullptr, 0};
    size_t directory = 0;
    if (!DirectoryOf(source, type, &directory)) return false;
    PeLanguages languages = LanguagesOf(source);
    PeResource found = {};
    if (IS_INTRESOURCE(name)) {
        if (!FindPeResource(&source->pe, directory, (uint16_t)(uintptr_t)name, &languages, &found))
            return false;
    } else {
        NameSearch search = {};
        int units = MultiByteToWideChar(CP_ACP, 0, name, -1, search.wanted, (int)NAME_UNITS + 1);
        if (units <= 0) return false;
        search.length = (size_t)units - 1;
        EnumPeResources(&source->pe, directory, &languages, OnSearchedResource, &search);
        if (!search.matched || search.found.bytes == nullptr) return false;
        found = search.found;
    }
    *bytes = {found.bytes, found.size};
    return true;
}

const ResourceSourceForm PE_FORM = {EnumPeSourceTypes, EnumPeSourceResources, FindPeSourceResource,
                                    nullptr, EnumPeSourceOtherLanguages};

}  // namespace

bool OpenPeSource(ResourceSource* source) {
    if (!OpenPeModule(source->mapped.bytes, source->mapped.size, &source->pe)) return false;
    ChooseLanguages(source);
    source->form = &PE_FORM;
    return true;
}
