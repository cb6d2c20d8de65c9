// Registry helpers for the association tests: read and write keys by path
// under HKEY_CLASSES_ROOT (and a few under HKEY_CURRENT_USER), delete whole trees, and save a tree
// to put it back exactly as it was after a test has changed it.
#pragma once

#include <string>
#include <vector>

#include "../../assoc/settings.h"
#include "../../util/compat.h"

namespace regtools {

bool KeyExists(const std::string& path);
// The default value's bytes as stored (no terminator added); false when missing.
bool ReadDefaultRaw(const std::string& path, std::string* data, DWORD* type = nullptr);
// A verb key's MultiSelectModel as stored (terminator included); "" when
// missing or not REG_SZ.
std::string SelectionModel(const std::string& verbPath);
// The default value as a string without its terminator; false when missing.
bool ReadDefault(const std::string& path, std::string* text);
// Creates the key as needed and stores exactly these bytes with this type.
bool WriteDefaultRaw(const std::string& path, const std::string& data, DWORD type);
// Creates the key as needed and stores the text with its terminator.
bool WriteDefault(const std::string& path, const std::string& text);
bool CreateKey(const std::string& path);
void DeleteTree(const std::string& path);
std::vector<std::string> SubKeys(const std::string& path);

// The same under HKEY_CURRENT_USER.
bool UserKeyExists(const std::string& path);
bool ReadUserDefault(const std::string& path, std::string* text);
void DeleteUserTree(const std::string& path);

// Every change refused, as Windows refuses the shared classes to a process
// without elevation (Wine grants them all).
extern const RegistryWriter kRefusingWriter;
// A throwaway user's classes key, HKEY_CURRENT_USER\Software\plntest\Classes,
// written for real: the tests never touch the user's real classes.
const char kTestUserRoot[] = "Software\\plntest";
const char kTestUserClasses[] = "Software\\plntest\\Classes";
extern const VerbStore kTestUserStore;

struct Snapshot {
    bool existed = false;
    struct Value {
        std::string name;
        DWORD type;
        std::string data;
    };
    std::vector<Value> values;
    std::vector<std::pair<std::string, Snapshot>> children;
};

Snapshot Save(const std::string& path);
// Deletes what is there now and rebuilds the saved tree (nothing when it did not exist).
void Restore(const std::string& path, const Snapshot& snapshot);
bool SameTree(const Snapshot& a, const Snapshot& b);

}  // namespace regtools
