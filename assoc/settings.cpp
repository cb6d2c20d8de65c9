// Association settings and their registry storage: the verb "pelnore" under
// HKEY_CLASSES_ROOT\<class>\shell. Every key a procedure opens is closed again,
// innermost first, before the procedure returns.
#include "settings.h"

#include <string.h>

#include "../util/ansipath.h"
#include "../util/bounded.h"
#include "../util/mbstring.h"
#include "../util/pathpart.h"

const FileTypeRow FileTypeTable[FILE_TYPE_COUNT] = {
    {1000, 1, ".exe"},
    {1001, 2, ".dll"},
};

const char kVerbKeyName[] = "pelnore";
const char kDefaultMenuText[] = "リソースを抜き出す";

static const char kShellKeyName[] = "shell";
static const char kCommandKeyName[] = "command";
static const char kRootKeyText[] = "HKEY_CLASSES_ROOT\\";

// ---------------------------------------------------------------- primitives

bool OpenSubKey(HKEY parent, const char* name, HKEY* key) {
    *key = nullptr;
    return RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, key) == ERROR_SUCCESS;
}

bool CreateSubKey(HKEY parent, const char* name, HKEY* key) {
    *key = nullptr;
    char emptyClass[] = "";
    return RegCreateKeyExA(parent, name, 0, emptyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, key, nullptr) == ERROR_SUCCESS;
}

bool CloseKey(HKEY key) { return RegCloseKey(key) == ERROR_SUCCESS; }

bool DeleteSubKey(HKEY parent, const char* name) {
    return RegDeleteKeyA(parent, name) == ERROR_SUCCESS;
}

bool RegKeyExists(HKEY parent, const char* name) {
    HKEY key;
    if (!OpenSubKey(parent, name, &key)) return false;
    CloseKey(key);
    return true;
}

static bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// The registry hands back exactly the bytes that were stored: a value written
// without its terminating NUL comes back unterminated (NT adds one only when
// the buffer has room to spare), so the text is ended here from the size read.
bool EndStringValue(char* buffer, DWORD size, DWORD capacity) {
    if (capacity == 0) return false;
    if (size > capacity) {
        buffer[0] = '\0';
        return false;
    }
    if (size > 0 && buffer[size - 1] == '\0') return true;
    if (size == capacity) {
        // Every byte is text: the value is one byte too long for the buffer.
        buffer[0] = '\0';
        return false;
    }
    buffer[size] = '\0';
    return true;
}

bool ReadDefaultValue(HKEY key, char* buffer, DWORD capacity) {
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

bool WriteDefaultValue(HKEY key, const char* text) {
    return RegSetValueExA(key, nullptr, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1) ==
           ERROR_SUCCESS;
}

// ---------------------------------------------------------------- verb keys

// An empty default value would name the classes root itself (an empty subkey
// name opens its parent), so it counts as no value at all.
void ResolveFileClass(const char* extension, char* className) {
    CopyBounded(className, CLASS_NAME_CAPACITY, extension);
    char value[CLASS_NAME_CAPACITY];
    bool haveValue = false;
    HKEY key;
    if (OpenSubKey(HKEY_CLASSES_ROOT, extension, &key)) {
        haveValue = ReadDefaultValue(key, value, sizeof(value));
        CloseKey(key);
    }
    if (haveValue && value[0] != '\0' && RegKeyExists(HKEY_CLASSES_ROOT, value))
        CopyBounded(className, CLASS_NAME_CAPACITY, value);
}

bool OpenFileClassKey(const char* extension, HKEY* key) {
    char className[CLASS_NAME_CAPACITY];
    ResolveFileClass(extension, className);
    return OpenSubKey(HKEY_CLASSES_ROOT, className, key);
}

// Opens name under the key and closes the key, so that only the deeper one stays open.
static bool OpenOneLevelDown(HKEY* key, const char* name) {
    HKEY next;
    bool opened = OpenSubKey(*key, name, &next);
    CloseKey(*key);
    *key = opened ? next : nullptr;
    return opened;
}

bool OpenShellKey(const char* extension, HKEY* key) {
    return OpenFileClassKey(extension, key) && OpenOneLevelDown(key, kShellKeyName);
}

bool OpenVerbKey(const char* extension, HKEY* key) {
    return OpenShellKey(extension, key) && OpenOneLevelDown(key, kVerbKeyName);
}

// An existing verb is overwritten in place; nothing is deleted first.
bool RegisterVerb(const char* extension, const char* menuText, const char* commandLine) {
    HKEY classKey, shellKey, verbKey, commandKey;
    if (!OpenFileClassKey(extension, &classKey)) return false;
    bool done = false;
    if (CreateSubKey(classKey, kShellKeyName, &shellKey)) {
        if (CreateSubKey(shellKey, kVerbKeyName, &verbKey)) {
            WriteDefaultValue(verbKey, menuText);
            if (CreateSubKey(verbKey, kCommandKeyName, &commandKey)) {
                WriteDefaultValue(commandKey, commandLine);
                CloseKey(commandKey);
                done = true;
            }
            CloseKey(verbKey);
        }
        CloseKey(shellKey);
    }
    CloseKey(classKey);
    return done;
}

bool UnregisterVerb(const char* extension) {
    HKEY shellKey, verbKey;
    if (!OpenShellKey(extension, &shellKey)) return false;
    if (RegKeyExists(shellKey, kVerbKeyName) && OpenSubKey(shellKey, kVerbKeyName, &verbKey)) {
        if (RegKeyExists(verbKey, kCommandKeyName)) DeleteSubKey(verbKey, kCommandKeyName);
        CloseKey(verbKey);
        DeleteSubKey(shellKey, kVerbKeyName);
    }
    CloseKey(shellKey);
    return true;
}

bool ReadVerb(const char* extension, char* menuText, char* commandLine) {
    HKEY verbKey, commandKey;
    if (!OpenVerbKey(extension, &verbKey)) return false;
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

// Appends with the double-byte-aware copy, so that a cut never splits a character.
static size_t AppendKeyText(char* keyText, size_t length, const char* piece) {
    if (length + 1 >= KEY_TEXT_CAPACITY) return length;
    CopyBounded(keyText + length, KEY_TEXT_CAPACITY - length, piece);
    return length + strlen(keyText + length);
}

void BuildVerbKeyText(const char* extension, char* keyText) {
    char className[CLASS_NAME_CAPACITY];
    ResolveFileClass(extension, className);
    keyText[0] = '\0';
    size_t length = AppendKeyText(keyText, 0, kRootKeyText);
    length = AppendKeyText(keyText, length, className);
    length = AppendKeyText(keyText, length, "\\");
    length = AppendKeyText(keyText, length, kShellKeyName);
    length = AppendKeyText(keyText, length, "\\");
    AppendKeyText(keyText, length, kVerbKeyName);
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

size_t BuildDefaultCommandLine(char* buffer) {
    char path[PATH_CAPACITY];
    ReadProgramPathForVerb(path);
    buffer[0] = '\0';
    const char* pieces[] = {"\"", path, "\"", " ", "\"", "%1", "\""};
    size_t length = 0;
    for (const char* piece : pieces) length += AppendBounded(buffer, length, piece);
    return length + 1;
}

// ---------------------------------------------------------------- settings steps

void LoadAssociationSettingsFor(const FileTypeRow* table, AssociationSettings* settings) {
    settings->enabledMask = 0;
    for (int i = 0; i < FILE_TYPE_COUNT; i++) {
        FileTypeSettings* block = &settings->types[table[i].typeId - FILE_TYPE_ID_BASE];
        BuildVerbKeyText(table[i].extension, block->keyText);
        if (ReadVerb(table[i].extension, block->menuText, block->commandLine)) {
            settings->enabledMask |= table[i].typeBit;
        } else {
            CopyBounded(block->menuText, MENU_TEXT_CAPACITY, kDefaultMenuText);
            BuildDefaultCommandLine(block->commandLine);
        }
    }
}

DWORD DiffAssociationSettingsFor(const FileTypeRow* table, const AssociationSettings* edited,
                                 const AssociationSettings* loaded) {
    DWORD changed = edited->enabledMask ^ loaded->enabledMask;
    for (int i = 0; i < FILE_TYPE_COUNT; i++) {
        DWORD bit = table[i].typeBit;
        if (!(edited->enabledMask & bit) || !(loaded->enabledMask & bit)) continue;
        const FileTypeSettings* a = &edited->types[table[i].typeId - FILE_TYPE_ID_BASE];
        const FileTypeSettings* b = &loaded->types[table[i].typeId - FILE_TYPE_ID_BASE];
        bool same = StringsEqual(a->commandLine, b->commandLine) &&
                    StringsEqual(a->menuText, b->menuText);
        if (!same) changed |= bit;
    }
    return changed;
}

void ApplyAssociationSettingsFor(const FileTypeRow* table, const AssociationSettings* edited,
                                 DWORD changed) {
    for (int i = 0; i < FILE_TYPE_COUNT; i++) {
        DWORD bit = table[i].typeBit;
        if (!(changed & bit)) continue;
        const FileTypeSettings* block = &edited->types[table[i].typeId - FILE_TYPE_ID_BASE];
        if (edited->enabledMask & bit)
            RegisterVerb(table[i].extension, block->menuText, block->commandLine);
        else
            UnregisterVerb(table[i].extension);
    }
}

void LoadAssociationSettings(AssociationSettings* settings) {
    LoadAssociationSettingsFor(FileTypeTable, settings);
}

DWORD DiffAssociationSettings(const AssociationSettings* edited,
                              const AssociationSettings* loaded) {
    return DiffAssociationSettingsFor(FileTypeTable, edited, loaded);
}

void ApplyAssociationSettings(const AssociationSettings* edited, DWORD changed) {
    ApplyAssociationSettingsFor(FileTypeTable, edited, changed);
}
