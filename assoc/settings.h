// The shell verb "pelnore" on folders and module files: the file-type table,
// the wanted state of the verb, and the registry procedures that read it
// through HKEY_CLASSES_ROOT and register and unregister it there or, where that
// is refused, under the user's own classes key. The registry is the only store.
#pragma once

#include "../util/compat.h"

// Capacities of the per-type texts, terminator included.
enum {
    KEY_TEXT_CAPACITY = 523,
    MENU_TEXT_CAPACITY = 32768,
    COMMAND_LINE_CAPACITY = 1025,
    CLASS_NAME_CAPACITY = 522
};

// A file type's name says where its verb lives, as the classes root is laid
// out: an extension (".exe", with its leading dot) has it under the class that
// the extension names, or under the extension key itself when it names none;
// any other name is a class key ("Directory") that holds the verb itself.
struct FileTypeRow {
    int typeId;     // minus FILE_TYPE_ID_BASE: index of the type's block
    DWORD typeBit;  // the type's bit in every mask of the association code
    const char* name;
    const char* argument;  // what the default command line hands over: "%1" or "%V"
    const char* label;     // the type in the program's messages: "*.exe ファイル"
};

// The settings blocks are in id order; the table below gives the order shown.
enum FileTypeId {
    FILE_TYPE_EXE = 1000,
    FILE_TYPE_DLL,
    FILE_TYPE_FOLDER,
    FILE_TYPE_FOLDER_BACKGROUND,
    FILE_TYPE_OCX,
    FILE_TYPE_CPL,
    FILE_TYPE_SCR,
    FILE_TYPE_ICL,
    FILE_TYPE_MUN,
    FILE_TYPE_ID_END
};

enum { FILE_TYPE_ID_BASE = FILE_TYPE_EXE, FILE_TYPE_COUNT = FILE_TYPE_ID_END - FILE_TYPE_ID_BASE };

constexpr DWORD TypeBitOf(int typeId) {
    return (DWORD)1 << (typeId - FILE_TYPE_ID_BASE);
}

constexpr FileTypeRow ExtensionRow(int typeId, const char* extension, const char* label) {
    return {typeId, TypeBitOf(typeId), extension, "%1", label};
}

// Row order is the order in which every loop over the file types runs and the
// order of the dialog's groups: folders, then programs and libraries, then the
// other modules that a folder's walk takes. "Directory" is a folder on the
// file system (not a drive or a virtual folder); "Directory\Background" is the
// empty space of an open folder, whose verb gets the folder as %V.
inline constexpr FileTypeRow FileTypeTable[] = {
    {FILE_TYPE_FOLDER, TypeBitOf(FILE_TYPE_FOLDER), "Directory", "%1", "フォルダ"},
    {FILE_TYPE_FOLDER_BACKGROUND, TypeBitOf(FILE_TYPE_FOLDER_BACKGROUND), "Directory\\Background",
     "%V", "フォルダの背景"},
    ExtensionRow(FILE_TYPE_EXE, ".exe", "*.exe ファイル"),
    ExtensionRow(FILE_TYPE_DLL, ".dll", "*.dll ファイル"),
    ExtensionRow(FILE_TYPE_OCX, ".ocx", "*.ocx ファイル"),
    ExtensionRow(FILE_TYPE_CPL, ".cpl", "*.cpl ファイル"),
    ExtensionRow(FILE_TYPE_SCR, ".scr", "*.scr ファイル"),
    ExtensionRow(FILE_TYPE_ICL, ".icl", "*.icl ファイル"),
    ExtensionRow(FILE_TYPE_MUN, ".mun", "*.mun ファイル"),
};

// True when table holds every type id exactly once, with its own bit, in
// count rows: a type added to FileTypeId without a row fails to compile.
constexpr bool HoldsEveryTypeOnce(const FileTypeRow* table, int count) {
    if (count != FILE_TYPE_COUNT) return false;
    for (int id = FILE_TYPE_ID_BASE; id < FILE_TYPE_ID_END; id++) {
        int seen = 0;
        for (int i = 0; i < count; i++)
            if (table[i].typeId == id && table[i].typeBit == TypeBitOf(id)) seen++;
        if (seen != 1) return false;
    }
    return true;
}

static_assert(HoldsEveryTypeOnce(FileTypeTable, sizeof(FileTypeTable) / sizeof(FileTypeTable[0])),
              "FileTypeTable needs one row for each FileTypeId");

struct FileTypeSettings {
    char keyText[KEY_TEXT_CAPACITY];          // shown only; never compared or written
    char menuText[MENU_TEXT_CAPACITY];        // what Explorer shows for the verb
    char commandLine[COMMAND_LINE_CAPACITY];  // what Explorer runs for the verb
};

struct AssociationSettings {
    DWORD enabledMask;  // type bits of the file types whose verb is (to be) registered
    FileTypeSettings types[FILE_TYPE_COUNT];
};

// ---------------------------------------------------------------- where the verb lives

// The registry calls that change a store, so that a caller can stand in for a
// registry that refuses them (Wine grants every write). Each returns the Win32
// status; openKey opens an existing key for writing; setStringValue stores the
// text as REG_SZ with its terminating NUL (name null: the default value).
struct RegistryWriter {
    LONG (*openKey)(HKEY parent, const char* name, HKEY* key);
    LONG (*createKey)(HKEY parent, const char* name, HKEY* key);
    LONG (*setStringValue)(HKEY key, const char* name, const char* text);
    LONG (*deleteKey)(HKEY parent, const char* name);
};

extern const RegistryWriter kWin32RegistryWriter;

// One place the verb can be written to: the class keys live under
// root\path (path empty: under root itself), shown as rootText\<class>.
struct VerbStore {
    HKEY root;
    const char* path;
    const char* rootText;
    const RegistryWriter* writer;
};

// Classes are resolved and verbs read through view, the user's merged
// HKEY_CLASSES_ROOT; writes go to shared first and, where refused, to user.
// The settings steps visit the fileTypeCount rows of fileTypes.
struct VerbRoots {
    HKEY view;
    VerbStore shared;
    VerbStore user;
    const FileTypeRow* fileTypes;
    int fileTypeCount;
};

// HKEY_CLASSES_ROOT, HKEY_CURRENT_USER\Software\Classes for the user, and FileTypeTable.
extern const VerbRoots kSystemVerbRoots;

// ---------------------------------------------------------------- verb procedures

// The class key that the extension's default value names when that key opens
// in the view, else the extension itself; always succeeds.
void ResolveFileClass(const VerbRoots* roots, const char* extension,
                      char* className /* CLASS_NAME_CAPACITY */);
// The class key under which the verb of the file type (a FileTypeRow name)
// lives. The procedures below take the same names.
void ResolveVerbClass(const VerbRoots* roots, const char* fileType,
                      char* className /* CLASS_NAME_CAPACITY */);
// Writes <class>\shell\pelnore (menu text, the selection model) and its
// "command" to the shared store, else to the user's; a user's verb is kept in
// step. True when every key and value of one store was written.
bool RegisterVerb(const VerbRoots* roots, const char* fileType, const char* menuText,
                  const char* commandLine);
// Deletes the verb from both stores ("shell" itself stays); true when neither
// holds one any more.
bool UnregisterVerb(const VerbRoots* roots, const char* fileType);
// Reads through the view; true when shell\pelnore\command opens. A text that
// is missing, not a string, or cut is left empty.
bool ReadVerb(const VerbRoots* roots, const char* fileType, char* menuText /* MENU_TEXT_CAPACITY */,
              char* commandLine /* COMMAND_LINE_CAPACITY */);
// The running program's quoted path, a blank and the argument quoted ("%1"
// gives "%1" in quotes); returns length + 1.
size_t BuildDefaultCommandLine(const char* argument, char* buffer /* COMMAND_LINE_CAPACITY */);

// ---------------------------------------------------------------- the dialog's three steps

// Fills the record from the registry; an unregistered type gets the defaults.
void LoadAssociationSettings(const VerbRoots* roots, AssociationSettings* settings);
// Type bits of FileTypeTable whose registration must change: switched on or
// off, or ticked in both with a menu text or command line edited.
DWORD DiffAssociationSettings(const AssociationSettings* edited, const AssociationSettings* loaded);
// Registers or unregisters each type in changed; returns the type bits of the
// changes that could be written nowhere (0 when everything was done).
DWORD ApplyAssociationSettings(const VerbRoots* roots, const AssociationSettings* edited,
                               DWORD changed);
