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

// The verb's key name under "shell", and the menu text of an unregistered type.
extern const char kVerbKeyName[];
extern const char kDefaultMenuText[];

// Registry primitives: true exactly when the Win32 call succeeds. OpenSubKey
// asks only for reading (a user without elevation may read the shared classes
// but not open them for writing); CreateSubKey asks for KEY_ALL_ACCESS.
bool OpenSubKey(HKEY parent, const char* name, HKEY* key);
bool CreateSubKey(HKEY parent, const char* name, HKEY* key);
bool CloseKey(HKEY key);
bool DeleteSubKey(HKEY parent, const char* name);
bool RegKeyExists(HKEY parent, const char* name);
// Reads a string default value; the buffer always ends terminated inside its
// capacity. Fails, leaving it empty, when the value is missing, is not a
// string, or does not fit.
bool ReadDefaultValue(HKEY key, char* buffer, DWORD capacity);
// Ends a string value of size bytes read into a buffer of capacity bytes
// inside the buffer; false, leaving it empty, when the text does not fit.
bool EndStringValue(char* buffer, DWORD size, DWORD capacity);
// REG_SZ with its terminating NUL stored.
bool WriteDefaultValue(HKEY key, const char* text);

// Verb procedures on one extension (".exe", ".dll", or any other).
// The class key the extension names when that key exists, else the extension.
void ResolveFileClass(const char* extension, char* className /* CLASS_NAME_CAPACITY */);
bool OpenFileClassKey(const char* extension, HKEY* key);
bool OpenShellKey(const char* extension, HKEY* key);
bool OpenVerbKey(const char* extension, HKEY* key);
bool RegisterVerb(const char* extension, const char* menuText, const char* commandLine);
// False only when the shell key does not open; "shell" itself stays.
bool UnregisterVerb(const char* extension);
// True when shell\pelnore\command opens; texts cut or missing are left empty.
bool ReadVerb(const char* extension, char* menuText /* MENU_TEXT_CAPACITY */,
              char* commandLine /* COMMAND_LINE_CAPACITY */);
// "HKEY_CLASSES_ROOT\<class>\shell\pelnore" for display, cut to the capacity.
void BuildVerbKeyText(const char* extension, char* keyText /* KEY_TEXT_CAPACITY */);
// The running program's quoted path, a blank and "%1" quoted; returns length + 1.
size_t BuildDefaultCommandLine(char* buffer /* COMMAND_LINE_CAPACITY */);

// ---------------------------------------------------------------- where the verb lives

// The registry calls that change a store, so that a caller can stand in for a
// registry that refuses them (Wine grants every write). Each returns the Win32
// status; openKey opens an existing key for writing.
struct RegistryWriter {
    LONG (*openKey)(HKEY parent, const char* name, HKEY* key);
    LONG (*createKey)(HKEY parent, const char* name, HKEY* key);
    LONG (*setDefaultValue)(HKEY key, const char* text);
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
struct VerbRoots {
    HKEY view;
    VerbStore shared;
    VerbStore user;
};

// HKEY_CLASSES_ROOT, and HKEY_CURRENT_USER\Software\Classes for the user.
extern const VerbRoots kSystemVerbRoots;

// The roots that the three steps below use; null puts back kSystemVerbRoots.
// Returns the roots in use before.
const VerbRoots* UseVerbRoots(const VerbRoots* roots);

// The verb procedures on one store, the class already resolved. Writing checks
// every key and value; removing is true when no verb key is left there.
bool StoreHasVerb(const VerbStore* store, const char* className);
bool WriteVerbTo(const VerbStore* store, const char* className, const char* menuText,
                 const char* commandLine);
bool RemoveVerbFrom(const VerbStore* store, const char* className);
// "<rootText>\<class>\shell\pelnore", cut to the capacity.
void BuildStoreKeyText(const VerbStore* store, const char* className,
                       char* keyText /* KEY_TEXT_CAPACITY */);

// The three steps of the association dialog.
void LoadAssociationSettings(AssociationSettings* settings);
DWORD DiffAssociationSettings(const AssociationSettings* edited, const AssociationSettings* loaded);
// Returns the type bits of the changes that could be written nowhere (0 when
// everything was done).
DWORD ApplyAssociationSettings(const AssociationSettings* edited, DWORD changed);

// The same steps over a file-type table of the caller's choosing, so that the
// behaviour can be proved on extensions nobody else uses.
void LoadAssociationSettingsFor(const FileTypeRow* table, AssociationSettings* settings);
DWORD DiffAssociationSettingsFor(const FileTypeRow* table, const AssociationSettings* edited,
                                 const AssociationSettings* loaded);
DWORD ApplyAssociationSettingsFor(const FileTypeRow* table, const AssociationSettings* edited,
                                  DWORD changed);

// The same over roots of the caller's choosing as well.
void LoadAssociationSettingsIn(const VerbRoots* roots, const FileTypeRow* table,
                               AssociationSettings* settings);
DWORD ApplyAssociationSettingsIn(const VerbRoots* roots, const FileTypeRow* table,
                                 const AssociationSettings* edited, DWORD changed);
