// Association settings and their registry storage: the verb "pelnore" under
// <class>\shell, read through HKEY_CLASSES_ROOT and written to it or to the
// user's classes key. Every key a procedure opens is closed again, innermost
// first, before the procedure returns.
#include "settings.h"

#include <string.h>

#include "../util/ansipath.h"
#include "../util/bounded.h"
#include "../util/mbstring.h"
#include "../util/pathpart.h"

static const char kVerbKeyName[] = "pelnore";
static const char kDefaultMenuText[] = "リソースを抜き出す";
static const char kShellKeyName[] = "shell";
static const char kCommandKeyName[] = "command";
// Explorer offers a verb for at most 15 selected items unless the verb says
// how it takes a selection; "Player" raises that to 100.
static const char kMultiSelectValueName[] = "MultiSelectModel";
static const char kMultiSelectModel[] = "Player";

// ---------------------------------------------------------------- primitives

// Opened only for reading: a user without elevation may read the shared
// classes but not open them for writing.
static bool OpenSubKey(HKEY parent, const char* name, HKEY* key) {
    *key = nullptr;
    return RegOpenKeyExA(parent, name, 0, KEY_READ, key) == ERROR_SUCCESS;
}

static void CloseKey(HKEY key) {
    RegCloseKey(key);
}

static bool RegKeyExists(HKEY parent, const char* name) {
    HKEY key;
    if (!OpenSubKey(parent, name, &key)) return false;
    CloseKey(key);
    return true;
}

static bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

// A string default value, ended inside the buffer from the size read; fails,
// leaving it empty, when the value is missing, is not a string, or does not fit.
static bool ReadDefaultValue(HKEY key, char* buffer, DWORD capacity) {
    if (capacity == 0) return false;
    DWORD type = REG_NONE;
    DWORD size = capacity;
    LONG status = RegQueryValueExA(key, nullptr, nullptr, &type, (BYTE*)buffer, &size);
    if (status != ERROR_SUCCESS || !IsStringType(type)) {
        buffer[0] = '\0';
        return false;
    }
    return EndStringValue(buffer, size, capacity);
}

// ---------------------------------------------------------------- where the verb lives

// Opened for reading and writing only: KEY_ALL_ACCESS would also ask for
// WRITE_DAC and WRITE_OWNER, which the user's own keys need not grant.
static const REGSAM kWriteAccess = KEY_READ | KEY_WRITE;

static LONG Win32OpenKey(HKEY parent, const char* name, HKEY* key) {
    *key = nullptr;
    return RegOpenKeyExA(parent, name, 0, kWriteAccess, key);
}

static LONG Win32CreateKey(HKEY parent, const char* name, HKEY* key) {
    *key = nullptr;
    char emptyClass[] = "";
    return RegCreateKeyExA(parent, name, 0, emptyClass, REG_OPTION_NON_VOLATILE, kWriteAccess,
                           nullptr, key, nullptr);
}

static LONG Win32SetStringValue(HKEY key, const char* name, const char* text) {
    return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
}

static LONG Win32DeleteKey(HKEY parent, const char* name) {
    return RegDeleteKeyA(parent, name);
}

const RegistryWriter kWin32RegistryWriter = {Win32OpenKey, Win32CreateKey, Win32SetStringValue,
                                             Win32DeleteKey};

// A new key under HKEY_CLASSES_ROOT lands in HKEY_LOCAL_MACHINE, which only an
// elevated process may write; the user's own classes key is merged over it in
// HKEY_CLASSES_ROOT for that user, and Explorer reads the merged view.
const VerbRoots kSystemVerbRoots = {
    HKEY_CLASSES_ROOT,
    {HKEY_CLASSES_ROOT, "", "HKEY_CLASSES_ROOT", &kWin32RegistryWriter},
    {HKEY_CURRENT_USER, "Software\\Classes", "HKEY_CURRENT_USER\\Software\\Classes",
     &kWin32RegistryWriter},
    FileTypeTable,
    FILE_TYPE_COUNT,
};

// Room for a store's path, a class name and the three levels below it.
enum { STORE_PATH_CAPACITY = 640 };

// Appends with the double-byte-aware copy, so that a cut never splits a character.
static size_t AppendText(char* text, size_t capacity, size_t length, const char* piece) {
    if (length + 1 >= capacity) return length;
    CopyBounded(text + length, capacity - length, piece);
    return length + strlen(text + length);
}

// "<path>\<class>" followed by the given levels; false when it does not fit,
// since a cut path would name another key.
static bool BuildStorePath(const VerbStore* store, const char* className, const char* const* levels,
                           int levelCount, char* path) {
    path[0] = '\0';
    size_t length = AppendText(path, STORE_PATH_CAPACITY, 0, store->path);
    if (length > 0) length = AppendText(path, STORE_PATH_CAPACITY, length, "\\");
    length = AppendText(path, STORE_PATH_CAPACITY, length, className);
    for (int i = 0; i < levelCount; i++) {
        length = AppendText(path, STORE_PATH_CAPACITY, length, "\\");
        length = AppendText(path, STORE_PATH_CAPACITY, length, levels[i]);
    }
    return length + 1 < STORE_PATH_CAPACITY;
}

static bool StoreKeyExists(const VerbStore* store, const char* className, const char* const* levels,
                           int levelCount) {
    char path[STORE_PATH_CAPACITY];
    return BuildStorePath(store, className, levels, levelCount, path) &&
           RegKeyExists(store->root, path);
}

static const char* const kVerbLevels[] = {kShellKeyName, kVerbKeyName, kCommandKeyName};

static bool StoreHasVerb(const VerbStore* store, const char* className) {
    return StoreKeyExists(store, className, kVerbLevels, 3);
}

// Opens the class key for writing: in the shared store it must exist already
// (the extension's class is never invented there); in the user's store it is
// created, since a user's classes key rarely holds the class beforehand.
static bool OpenClassKeyForWriting(const VerbStore* store, const char* className, HKEY* key) {
    char path[STORE_PATH_CAPACITY];
    if (!BuildStorePath(store, className, nullptr, 0, path)) return false;
    const RegistryWriter* w = store->writer;
    bool shared = store->path[0] == '\0';
    LONG status =
        shared ? w->openKey(store->root, path, key) : w->createKey(store->root, path, key);
    return status == ERROR_SUCCESS;
}

// An existing verb is overwritten in place; nothing is deleted first. A value
// that cannot be set counts as much as a key that cannot be made.
static bool WriteVerbTo(const VerbStore* store, const char* className, const char* menuText,
                        const char* commandLine) {
    const RegistryWriter* w = store->writer;
    HKEY classKey, shellKey, verbKey, commandKey;
    if (!OpenClassKeyForWriting(store, className, &classKey)) return false;
    bool done = false;
    if (w->createKey(classKey, kShellKeyName, &shellKey) == ERROR_SUCCESS) {
        if (w->createKey(shellKey, kVerbKeyName, &verbKey) == ERROR_SUCCESS) {
            bool menuSet = w->setStringValue(verbKey, nullptr, menuText) == ERROR_SUCCESS;
            bool modelSet = w->setStringValue(verbKey, kMultiSelectValueName, kMultiSelectModel) ==
                            ERROR_SUCCESS;
            if (w->createKey(verbKey, kCommandKeyName, &commandKey) == ERROR_SUCCESS) {
                done = menuSet && modelSet &&
                       w->setStringValue(commandKey, nullptr, commandLine) == ERROR_SUCCESS;
                CloseKey(commandKey);
            }
            CloseKey(verbKey);
        }
        CloseKey(shellKey);
    }
    CloseKey(classKey);
    return done;
}

static bool KeyIsEmpty(HKEY key) {
    DWORD subKeys = 1, values = 1;
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                            nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subKeys == 0 && values == 0;
}

// Deletes name under parent when it holds nothing at all: the keys that
// registering made in the user's store, and nothing that someone else filled.
static void DeleteKeyIfEmpty(const RegistryWriter* w, HKEY parent, const char* name) {
    HKEY key;
    if (!OpenSubKey(parent, name, &key)) return;
    bool empty = KeyIsEmpty(key);
    CloseKey(key);
    if (empty) w->deleteKey(parent, name);
}

// In the user's store, the shell and class keys that registering created are
// removed again when the verb leaves them empty; a class below another
// ("Directory\Background") takes its empty parents along.
static void PruneUserClassKey(const VerbStore* store, const char* className) {
    HKEY classesKey, classKey;
    if (!OpenSubKey(store->root, store->path, &classesKey)) return;
    if (OpenSubKey(classesKey, className, &classKey)) {
        DeleteKeyIfEmpty(store->writer, classKey, kShellKeyName);
        CloseKey(classKey);
        char level[CLASS_NAME_CAPACITY];
        CopyBounded(level, sizeof(level), className);
        do {
            DeleteKeyIfEmpty(store->writer, classesKey, level);
        } while (CutAtLastSeparator(level) != level);
    }
    CloseKey(classesKey);
}

// Only "command" is deleted ahead of the verb key; what others put under the
// verb key keeps it, and then the verb counts as not removed.
static bool RemoveVerbFrom(const VerbStore* store, const char* className) {
    if (!StoreKeyExists(store, className, kVerbLevels, 2)) return true;
    char path[STORE_PATH_CAPACITY];
    HKEY shellKey, verbKey;
    if (!BuildStorePath(store, className, kVerbLevels, 1, path)) return false;
    const RegistryWriter* w = store->writer;
    if (w->openKey(store->root, path, &shellKey) != ERROR_SUCCESS) return false;
    if (w->openKey(shellKey, kVerbKeyName, &verbKey) == ERROR_SUCCESS) {
        if (RegKeyExists(verbKey, kCommandKeyName)) w->deleteKey(verbKey, kCommandKeyName);
        CloseKey(verbKey);
        w->deleteKey(shellKey, kVerbKeyName);
    }
    CloseKey(shellKey);
    bool removed = !StoreKeyExists(store, className, kVerbLevels, 2);
    if (removed && store->path[0] != '\0') PruneUserClassKey(store, className);
    return removed;
}

// "<rootText>\<class>\shell\pelnore", cut to the capacity.
static void BuildStoreKeyText(const VerbStore* store, const char* className, char* keyText) {
    keyText[0] = '\0';
    size_t length = AppendText(keyText, KEY_TEXT_CAPACITY, 0, store->rootText);
    const char* pieces[] = {"\\", className, "\\", kShellKeyName, "\\", kVerbKeyName};
    for (const char* piece : pieces) length = AppendText(keyText, KEY_TEXT_CAPACITY, length, piece);
}

// ---------------------------------------------------------------- verb keys

// An empty default value would name the classes root itself (an empty subkey
// name opens its parent), so it counts as no value at all.
void ResolveFileClass(const VerbRoots* roots, const char* extension, char* className) {
    CopyBounded(className, CLASS_NAME_CAPACITY, extension);
    char value[CLASS_NAME_CAPACITY];
    bool haveValue = false;
    HKEY key;
    if (OpenSubKey(roots->view, extension, &key)) {
        haveValue = ReadDefaultValue(key, value, sizeof(value));
        CloseKey(key);
    }
    if (haveValue && value[0] != '\0' && RegKeyExists(roots->view, value))
        CopyBounded(className, CLASS_NAME_CAPACITY, value);
}

void ResolveVerbClass(const VerbRoots* roots, const char* fileType, char* className) {
    if (fileType[0] == '.')
        ResolveFileClass(roots, fileType, className);
    else
        CopyBounded(className, CLASS_NAME_CAPACITY, fileType);
}

// Opens name under the key and closes the key, so that only the deeper one stays open.
static bool OpenOneLevelDown(HKEY* key, const char* name) {
    HKEY next;
    bool opened = OpenSubKey(*key, name, &next);
    CloseKey(*key);
    *key = opened ? next : nullptr;
    return opened;
}

// <class>\shell\pelnore in the view, opened one level at a time; never created.
static bool OpenVerbKey(const VerbRoots* roots, const char* className, HKEY* key) {
    return OpenSubKey(roots->view, className, key) && OpenOneLevelDown(key, kShellKeyName) &&
           OpenOneLevelDown(key, kVerbKeyName);
}

// Shared first, as an elevated process may; where that is refused, the user's
// key. A user's verb shadows the shared one in the merged view, so one that
// exists is written as well even when the shared write succeeded: on Windows
// that write may even have gone into it, and a stale one would hide the new
// values. A shared verb that cannot be changed is thus shadowed by the user's.
bool RegisterVerb(const VerbRoots* roots, const char* fileType, const char* menuText,
                  const char* commandLine) {
    char className[CLASS_NAME_CAPACITY];
    ResolveVerbClass(roots, fileType, className);
    bool userVerb = StoreHasVerb(&roots->user, className);
    bool sharedWritten = WriteVerbTo(&roots->shared, className, menuText, commandLine);
    if (sharedWritten && !userVerb) return true;
    return WriteVerbTo(&roots->user, className, menuText, commandLine);
}

// The user's verb first, so that the shared one is what the view then shows;
// the type is off only when neither is left.
bool UnregisterVerb(const VerbRoots* roots, const char* fileType) {
    char className[CLASS_NAME_CAPACITY];
    ResolveVerbClass(roots, fileType, className);
    bool userRemoved = RemoveVerbFrom(&roots->user, className);
    bool sharedRemoved = RemoveVerbFrom(&roots->shared, className);
    return userRemoved && sharedRemoved;
}

// The verb of a class already resolved.
static bool ReadClassVerb(const VerbRoots* roots, const char* className, char* menuText,
                          char* commandLine) {
    HKEY verbKey, commandKey;
    if (!OpenVerbKey(roots, className, &verbKey)) return false;
    ReadDefaultValue(verbKey, menuText, MENU_TEXT_CAPACITY);
    if (!OpenSubKey(verbKey, kCommandKeyName, &commandKey)) {
        CloseKey(verbKey);
        return false;
    }
    ReadDefaultValue(commandKey, commandLine, COMMAND_LINE_CAPACITY);
    CloseKey(commandKey);
    CloseKey(verbKey);
    return true;
}

bool ReadVerb(const VerbRoots* roots, const char* fileType, char* menuText, char* commandLine) {
    char className[CLASS_NAME_CAPACITY];
    ResolveVerbClass(roots, fileType, className);
    return ReadClassVerb(roots, className, menuText, commandLine);
}

// The running program's path as the verb must name it. The command line is
// stored through the ANSI registry functions, so a folder or name that the
// ANSI code page cannot hold would be stored with '?' or look-alikes in it and
// name no program: its short path is taken then. Where that cannot be held
// either, the 8-bit path is taken as it comes; a path too long for the buffer
// gives "" rather than the path of another file.
static void ReadProgramPathForVerb(char* path /* PATH_CAPACITY */) {
    WCHAR wide[PATH_CAPACITY];
    DWORD n = GetModuleFileNameW(nullptr, wide, PATH_CAPACITY);
    if (n > 0 && n < PATH_CAPACITY && AnsiPathForWide(wide, path)) return;
    GetModulePath(nullptr, path, PATH_CAPACITY);
}

size_t BuildDefaultCommandLine(const char* argument, char* buffer) {
    char path[PATH_CAPACITY];
    ReadProgramPathForVerb(path);
    buffer[0] = '\0';
    const char* pieces[] = {"\"", path, "\"", " ", "\"", argument, "\""};
    size_t length = 0;
    for (const char* piece : pieces) length += AppendBounded(buffer, length, piece);
    return length + 1;
}

// ---------------------------------------------------------------- settings steps

// The key that shows in "登録先": the user's own verb where there is one (it
// shadows any shared one), else the shared verb; for a type not registered,
// the store that OK would write, the shared one where it opens for writing.
static void BuildHoldingKeyText(const VerbRoots* roots, const char* className, bool registered,
                                char* keyText) {
    const VerbStore* store = &roots->shared;
    HKEY key;
    if (StoreHasVerb(&roots->user, className)) {
        store = &roots->user;
    } else if (!registered) {
        if (OpenClassKeyForWriting(&roots->shared, className, &key))
            CloseKey(key);
        else
            store = &roots->user;
    }
    BuildStoreKeyText(store, className, keyText);
}

void LoadAssociationSettings(const VerbRoots* roots, AssociationSettings* settings) {
    settings->enabledMask = 0;
    for (int i = 0; i < roots->fileTypeCount; i++) {
        const FileTypeRow* type = &roots->fileTypes[i];
        FileTypeSettings* block = &settings->types[type->typeId - FILE_TYPE_ID_BASE];
        char className[CLASS_NAME_CAPACITY];
        ResolveVerbClass(roots, type->name, className);
        bool registered = ReadClassVerb(roots, className, block->menuText, block->commandLine);
        BuildHoldingKeyText(roots, className, registered, block->keyText);
        if (registered) {
            settings->enabledMask |= type->typeBit;
        } else {
            CopyBounded(block->menuText, MENU_TEXT_CAPACITY, kDefaultMenuText);
            BuildDefaultCommandLine(type->argument, block->commandLine);
        }
    }
}

DWORD DiffAssociationSettings(const AssociationSettings* edited,
                              const AssociationSettings* loaded) {
    DWORD changed = edited->enabledMask ^ loaded->enabledMask;
    for (const FileTypeRow& type : FileTypeTable) {
        DWORD bit = type.typeBit;
        if (!(edited->enabledMask & bit) || !(loaded->enabledMask & bit)) continue;
        const FileTypeSettings* a = &edited->types[type.typeId - FILE_TYPE_ID_BASE];
        const FileTypeSettings* b = &loaded->types[type.typeId - FILE_TYPE_ID_BASE];
        bool same =
            StringsEqual(a->commandLine, b->commandLine) && StringsEqual(a->menuText, b->menuText);
        if (!same) changed |= bit;
    }
    return changed;
}

DWORD ApplyAssociationSettings(const VerbRoots* roots, const AssociationSettings* edited,
                               DWORD changed) {
    DWORD failed = 0;
    for (int i = 0; i < roots->fileTypeCount; i++) {
        const FileTypeRow* type = &roots->fileTypes[i];
        DWORD bit = type->typeBit;
        if (!(changed & bit)) continue;
        const FileTypeSettings* block = &edited->types[type->typeId - FILE_TYPE_ID_BASE];
        bool done = (edited->enabledMask & bit)
                        ? RegisterVerb(roots, type->name, block->menuText, block->commandLine)
                        : UnregisterVerb(roots, type->name);
        if (!done) failed |= bit;
    }
    return failed;
}
