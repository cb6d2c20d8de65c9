// Registry helpers of the association tests; paths are under HKEY_CLASSES_ROOT
// unless a name says HKEY_CURRENT_USER.
#include "regtools.h"

namespace regtools {

static bool OpenUnder(HKEY root, const std::string& path, HKEY* key) {
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, key) == ERROR_SUCCESS;
}

static bool Open(const std::string& path, HKEY* key) {
    return OpenUnder(HKEY_CLASSES_ROOT, path, key);
}

static bool KeyExistsUnder(HKEY root, const std::string& path) {
    HKEY key;
    if (!OpenUnder(root, path, &key)) return false;
    RegCloseKey(key);
    return true;
}

bool KeyExists(const std::string& path) {
    return KeyExistsUnder(HKEY_CLASSES_ROOT, path);
}
bool UserKeyExists(const std::string& path) {
    return KeyExistsUnder(HKEY_CURRENT_USER, path);
}

static bool ReadValueRawUnder(HKEY root, const std::string& path, const char* name,
                              std::string* data, DWORD* type) {
    HKEY key;
    if (!OpenUnder(root, path, &key)) return false;
    DWORD size = 0, valueType = 0;
    bool ok = RegQueryValueExA(key, name, nullptr, &valueType, nullptr, &size) == ERROR_SUCCESS;
    if (ok) {
        std::vector<char> bytes(size + 2, 0);
        DWORD got = (DWORD)bytes.size();
        ok = RegQueryValueExA(key, name, nullptr, &valueType, (BYTE*)bytes.data(), &got) ==
             ERROR_SUCCESS;
        if (ok) data->assign(bytes.data(), got);
        if (type) *type = valueType;
    }
    RegCloseKey(key);
    return ok;
}

bool ReadDefaultRaw(const std::string& path, std::string* data, DWORD* type) {
    return ReadValueRawUnder(HKEY_CLASSES_ROOT, path, nullptr, data, type);
}
std::string SelectionModel(const std::string& verbPath) {
    std::string data;
    DWORD type = 0;
    bool read = ReadValueRawUnder(HKEY_CLASSES_ROOT, verbPath, "MultiSelectModel", &data, &type);
    return read && type == REG_SZ ? data : "";
}

static bool ReadDefaultUnder(HKEY root, const std::string& path, std::string* text) {
    std::string data;
    if (!ReadValueRawUnder(root, path, nullptr, &data, nullptr)) return false;
    size_t nul = data.find('\0');
    *text = nul == std::string::npos ? data : data.substr(0, nul);
    return true;
}

bool ReadDefault(const std::string& path, std::string* text) {
    return ReadDefaultUnder(HKEY_CLASSES_ROOT, path, text);
}

bool ReadUserDefault(const std::string& path, std::string* text) {
    return ReadDefaultUnder(HKEY_CURRENT_USER, path, text);
}

bool CreateKey(const std::string& path) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool WriteDefaultRaw(const std::string& path, const std::string& data, DWORD type) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExA(key, nullptr, 0, type, (const BYTE*)data.data(), (DWORD)data.size()) ==
              ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

bool WriteDefault(const std::string& path, const std::string& text) {
    return WriteDefaultRaw(path, std::string(text.c_str(), text.size() + 1), REG_SZ);
}

static std::vector<std::string> SubKeysUnder(HKEY root, const std::string& path) {
    std::vector<std::string> names;
    HKEY key;
    if (!OpenUnder(root, path, &key)) return names;
    for (DWORD i = 0;; i++) {
        char name[600];
        DWORD size = sizeof(name);
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(std::string(name, size));
    }
    RegCloseKey(key);
    return names;
}

std::vector<std::string> SubKeys(const std::string& path) {
    return SubKeysUnder(HKEY_CLASSES_ROOT, path);
}

static void DeleteTreeUnder(HKEY root, const std::string& path) {
    for (const std::string& child : SubKeysUnder(root, path))
        DeleteTreeUnder(root, path + "\\" + child);
    RegDeleteKeyA(root, path.c_str());
}

void DeleteTree(const std::string& path) {
    DeleteTreeUnder(HKEY_CLASSES_ROOT, path);
}
void DeleteUserTree(const std::string& path) {
    DeleteTreeUnder(HKEY_CURRENT_USER, path);
}

static LONG RefuseOpen(HKEY, const char*, HKEY* key) {
    *key = nullptr;
    return ERROR_ACCESS_DENIED;
}
static LONG RefuseSet(HKEY, const char*, const char*) {
    return ERROR_ACCESS_DENIED;
}
static LONG RefuseDelete(HKEY, const char*) {
    return ERROR_ACCESS_DENIED;
}

const RegistryWriter kRefusingWriter = {RefuseOpen, RefuseOpen, RefuseSet, RefuseDelete};

const VerbStore kTestUserStore = {HKEY_CURRENT_USER, kTestUserClasses,
                                  "HKEY_CURRENT_USER\\Software\\plntest\\Classes",
                                  &kWin32RegistryWriter};

static std::vector<Snapshot::Value> SaveValues(HKEY key) {
    std::vector<Snapshot::Value> values;
    for (DWORD i = 0;; i++) {
        char name[16384];
        DWORD nameSize = sizeof(name), type = 0, dataSize = 0;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, nullptr, &dataSize) !=
            ERROR_SUCCESS)
            break;
        std::vector<char> data(dataSize + 1);
        nameSize = sizeof(name);
        DWORD got = dataSize;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, (BYTE*)data.data(), &got) !=
            ERROR_SUCCESS)
            break;
        values.push_back({std::string(name, nameSize), type, std::string(data.data(), got)});
    }
    return values;
}

Snapshot Save(const std::string& path) {
    Snapshot snapshot;
    HKEY key;
    if (!Open(path, &key)) return snapshot;
    snapshot.existed = true;
    snapshot.values = SaveValues(key);
    RegCloseKey(key);
    for (const std::string& child : SubKeys(path))
        snapshot.children.push_back({child, Save(path + "\\" + child)});
    return snapshot;
}

static void Rebuild(const std::string& path, const Snapshot& snapshot) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    for (const Snapshot::Value& v : snapshot.values)
        RegSetValueExA(key, v.name.empty() ? nullptr : v.name.c_str(), 0, v.type,
                       (const BYTE*)v.data.data(), (DWORD)v.data.size());
    RegCloseKey(key);
    for (const auto& child : snapshot.children) Rebuild(path + "\\" + child.first, child.second);
}

void Restore(const std::string& path, const Snapshot& snapshot) {
    DeleteTree(path);
    if (snapshot.existed) Rebuild(path, snapshot);
}

bool SameTree(const Snapshot& a, const Snapshot& b) {
    if (a.existed != b.existed || a.values.size() != b.values.size() ||
        a.children.size() != b.children.size())
        return false;
    for (size_t i = 0; i < a.values.size(); i++)
        if (a.values[i].name != b.values[i].name || a.values[i].type != b.values[i].type ||
            a.values[i].data != b.values[i].data)
            return false;
    for (size_t i = 0; i < a.children.size(); i++)
        if (a.children[i].first != b.children[i].first ||
            !SameTree(a.children[i].second, b.children[i].second))
            return false;
    return true;
}

}  // namespace regtools
