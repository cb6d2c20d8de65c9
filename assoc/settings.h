// The shell verb "pelnore" for .exe and .dll files: the file-type table, the
// wanted state of the verb, and the registry procedures that read it through
// HKEY_CLASSES_ROOT and register and unregister it there or, where that is
// refused, under the user's own classes key. The registry is the only store.
#pragma once

#include "../util/compat.h"

// Capacities of the per-type texts, terminator included.
enum {
    KEY_TEXT_CAPACITY = 523,
    MENU_TEXT_CAPACITY = 32768,
    COMMAND_LINE_CAPACITY = 1025,
    CLASS_NAME_CAPACITY = 522
};

enum { FILE_TYPE_COUNT = 2, FILE_TYPE_ID_BASE = 1000 };

struct FileTypeRow {
    int typeId;     // minus FILE_TYPE_ID_BASE: index of the type's block
    DWORD typeBit;  // the type's bit in every mask of the association code
    const char* extension;
};

// Row order is the order in which every loop over the file types runs.
extern const FileTypeRow FileTypeTable[FILE_TYPE_COUNT];

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
// The settings steps visit the FILE_TYPE_COUNT rows of fileTypes.
struct VerbRoots {
    HKEY view;
    VerbStore shared;
    VerbStore user;
    const FileTypeRow* fileTypes;
};

// HKEY_CLASSES_ROOT, HKEY_CURRENT_USER\Software\Classes for the user, and FileTypeTable.
extern const VerbRoots kSystemVerbRoots;

// ---------------------------------------------------------------- verb procedures

// The class key that the extension's default value names when that key opens
// in the view, else the extension itself; always succeeds.
void ResolveFileClass(const VerbRoots* roots, const char* extension,
                      char* className /* CLASS_NAME_CAPACITY */);
// Writes <class>\shell\pelnore (menu text, the selection model) and its
// "command" to the shared store, else to the user's; a user's verb is kept in
// step. True when every key and value of one store was written.
bool RegisterVerb(const VerbRoots* roots, const char* extension, const char* menuText,
                  const char* commandLine);
// Deletes the verb from both stores ("shell" itself stays); true when neither
// holds one any more.
bool UnregisterVerb(const VerbRoots* roots, const char* extension);
// Reads through the view; true when shell\pelnore\command opens. A text that
// is missing, not a string, or cut is left empty.
bool ReadVerb(const VerbRoots* roots, const char* extension,
              char* menuText /* MENU_TEXT_CAPACITY */,
              char* commandLine /* COMMAND_LINE_CAPACITY */);
// The running program's quoted path, a blank and "%1" quoted; returns length + 1.
size_t BuildDefaultCommandLine(char* buffer /* COMMAND_LINE_CAPACITY */);

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
