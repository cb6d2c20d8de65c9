#include "testsupport.h"

#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace testsupport {

static std::string ModuleFolder() {
    char path[MAX_PATH] = "";
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string s(path, n < sizeof(path) ? n : 0);
    size_t cut = s.find_last_of('\\');
    return cut == std::string::npos ? std::string(".") : s.substr(0, cut);
}

static std::string ProgramName() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string s(path);
    size_t cut = s.find_last_of('\\');
    if (cut != std::string::npos) s = s.substr(cut + 1);
    size_t dot = s.find_last_of('.');
    return dot == std::string::npos ? s : s.substr(0, dot);
}

std::string TestDir() {
    return ModuleFolder();
}

std::string PelnoreExe() {
    std::string dir = TestDir();
    size_t cut = dir.find_last_of('\\');
    return dir.substr(0, cut) + "\\pelnore.exe";
}

// Wide calls throughout, so that names the ANSI code page cannot hold go too.
static bool RemoveTreeW(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        return DeleteFileW(path.c_str()) != 0;
    }
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            RemoveTreeW(path + L"\\" + name);
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    return RemoveDirectoryW(path.c_str()) != 0;
}

bool RemoveTree(const std::string& path) {
    return RemoveTreeW(Widen(path));
}

std::string ScratchDir(const std::string& name) {
    std::string root = TestDir() + "\\scratch";
    CreateDirectoryA(root.c_str(), nullptr);
    root += "\\" + ProgramName();
    CreateDirectoryA(root.c_str(), nullptr);
    std::string dir = root + "\\" + name;
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

bool ReadFileBytes(const std::string& path, std::vector<unsigned char>* bytes) {
    bytes->clear();
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    unsigned char block[65536];
    size_t n;
    while ((n = fread(block, 1, sizeof(block), f)) > 0)
        bytes->insert(bytes->end(), block, block + n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

bool WriteFileBytes(const std::string& path, const void* data, size_t size) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

LONGLONG FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (LONGLONG)(((ULONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow);
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = data.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

std::map<std::string, std::vector<unsigned char>> FolderContents(const std::string& folder) {
    std::map<std::string, std::vector<unsigned char>> files;
    for (const std::string& name : ListFolder(folder))
        ReadFileBytes(folder + "\\" + name, &files[name]);
    return files;
}

static std::string ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
    std::string text;
    if (info.fUnicode || info.nDebugStringLength == 0) return text;
    std::vector<char> buffer(info.nDebugStringLength);
    SIZE_T read = 0;
    if (ReadProcessMemory(process, info.lpDebugStringData, buffer.data(), buffer.size(), &read)) {
        text.assign(buffer.data(), read);
        size_t nul = text.find('\0');
        if (nul != std::string::npos) text.resize(nul);
    }
    return text;
}

// Debugs a started process until it ends or timeoutMs pass, collecting its
// debug-channel texts; closes the process's handles.
static RunResult CollectDebugOutput(PROCESS_INFORMATION info, DWORD timeoutMs) {
    RunResult result;
    result.started = true;
    DWORD deadline = GetTickCount() + timeoutMs;
    for (;;) {
        DWORD now = GetTickCount();
        DWORD wait = (int)(deadline - now) > 0 ? deadline - now : 0;
        DEBUG_EVENT event;
        if (!WaitForDebugEvent(&event, wait)) {
            TerminateProcess(info.hProcess, 255);
            break;
        }
        DWORD status = DBG_CONTINUE;
        if (event.dwDebugEventCode == OUTPUT_DEBUG_STRING_EVENT) {
            result.debugLines.push_back(ReadDebugString(info.hProcess, event.u.DebugString));
        } else if (event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT &&
                   event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
            status = DBG_EXCEPTION_NOT_HANDLED;
        } else if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT) {
            if (event.u.CreateProcessInfo.hFile) CloseHandle(event.u.CreateProcessInfo.hFile);
        } else if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT) {
            if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
        }
        bool exited = event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT;
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
        if (exited) {
            result.finished = true;
            break;
        }
    }
    WaitForSingleObject(info.hProcess, 5000);
    GetExitCodeProcess(info.hProcess, &result.exitCode);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return result;
}

RunResult RunCapturingDebugOutput(const std::string& commandLine, DWORD timeoutMs) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                        nullptr, nullptr, &startup, &info))
        return RunResult();
    return CollectDebugOutput(info, timeoutMs);
}

RunResult RunCapturingDebugOutput(const std::wstring& commandLine, DWORD timeoutMs) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                        nullptr, nullptr, &startup, &info))
        return RunResult();
    return CollectDebugOutput(info, timeoutMs);
}

bool StartProcess(const std::string& commandLine, PROCESS_INFORMATION* info, WORD showCommand) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showCommand;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, info) != 0;
}

bool StartProcess(const std::wstring& commandLine, PROCESS_INFORMATION* info, WORD showCommand) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showCommand;
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, info) != 0;
}

RunResult RunAndWait(const std::string& commandLine, DWORD timeoutMs, WORD showCommand) {
    RunResult result;
    PROCESS_INFORMATION info = {};
    if (!StartProcess(commandLine, &info, showCommand)) return result;
    result.started = true;
    if (WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        result.finished = true;
    } else {
        TerminateProcess(info.hProcess, 255);
        WaitForSingleObject(info.hProcess, 5000);
    }
    GetExitCodeProcess(info.hProcess, &result.exitCode);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return result;
}

struct WindowSearch {
    DWORD processId;
    const char* className;
    std::vector<HWND> found;
};

static BOOL CALLBACK CollectWindow(HWND window, LPARAM lParam) {
    WindowSearch* search = (WindowSearch*)lParam;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->processId) return TRUE;
    if (search->className) {
        char name[256] = "";
        GetClassNameA(window, name, sizeof(name));
        if (lstrcmpiA(name, search->className) != 0) return TRUE;
    }
    search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> ProcessWindows(DWORD processId, const char* className) {
    WindowSearch search = {processId, className, {}};
    EnumWindows(CollectWindow, (LPARAM)&search);
    return search.found;
}

HWND WaitForProcessWindow(DWORD processId, const char* className, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        std::vector<HWND> windows = ProcessWindows(processId, className);
        if (!windows.empty()) return windows.front();
        if (GetTickCount() - start >= timeoutMs) return nullptr;
        Sleep(20);
    }
}

HWND WaitForVisibleWindow(DWORD processId, const char* className, DWORD timeoutMs) {
    HWND shown = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : ProcessWindows(processId, className))
                if (IsWindowVisible(window)) return (shown = window) != nullptr;
            return false;
        },
        timeoutMs);
    DWORD_PTR ignored;
    if (shown && !SendMessageTimeoutA(shown, WM_NULL, 0, 0, SMTO_BLOCK, timeoutMs, &ignored))
        return nullptr;
    return shown;
}

struct ClassSearch {
    const char* className;
    std::vector<HWND> found;
};

static BOOL CALLBACK CollectByClass(HWND window, LPARAM lParam) {
    ClassSearch* search = (ClassSearch*)lParam;
    char name[64] = "";
    GetClassNameA(window, name, sizeof(name));
    if (lstrcmpiA(name, search->className) == 0) search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows(const char* className) {
    ClassSearch search = {className, {}};
    EnumWindows(CollectByClass, (LPARAM)&search);
    return search.found;
}

std::vector<HWND> TrayIconWindows() {
    ClassSearch search = {"__winex11_tray_icon", {}};
    for (HWND tray : TopLevelWindows("__winex11_standalone_tray"))
        EnumChildWindows(tray, CollectByClass, (LPARAM)&search);
    return search.found;
}

HWND WaitForMenu(DWORD processId, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    do {
        for (HWND menu : ProcessWindows(processId, "#32768"))
            if (IsWindowVisible(menu)) return menu;
        Sleep(20);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

void ClickAt(POINT point, DWORD downFlag, DWORD upFlag) {
    SetCursorPos(point.x, point.y);
    Sleep(100);
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = downFlag;
    inputs[1].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = upFlag;
    SendInput(1, &inputs[0], sizeof(INPUT));
    Sleep(50);
    SendInput(1, &inputs[1], sizeof(INPUT));
}

void PressKey(WORD virtualKey) {
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = virtualKey;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

std::string Quote(const std::string& text) {
    return "\"" + text + "\"";
}

bool BuildModule(const std::string& path, const std::vector<ResourceSpec>& resources) {
    std::string stub = TestDir() + "\\fixtures\\stub.dll";
    if (!CopyFileA(stub.c_str(), path.c_str(), FALSE)) return false;
    HANDLE update = BeginUpdateResourceA(path.c_str(), FALSE);
    if (update == nullptr) return false;
    bool ok = true;
    for (const ResourceSpec& r : resources) {
        LPCSTR name =
            r.name[0] == '#' ? MAKEINTRESOURCEA(atoi(r.name.c_str() + 1)) : r.name.c_str();
        if (!UpdateResourceA(update, r.type, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                             (void*)r.bytes.data(), (DWORD)r.bytes.size()))
            ok = false;
    }
    if (!EndUpdateResourceA(update, !ok)) return false;
    return ok;
}

RunResult RunPelnore(const std::string& arguments, DWORD timeoutMs) {
    return RunAndWait(Quote(PelnoreExe()) + " " + arguments, timeoutMs);
}

RECT WindowRect(HWND window) {
    RECT r = {};
    GetWindowRect(window, &r);
    return r;
}

static bool IsDialogWindow(HWND window) {
    char name[16] = "";
    return window != nullptr && GetClassNameA(window, name, sizeof(name)) > 0 &&
           strcmp(name, "#32770") == 0;
}

static void DispatchPending() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        HWND active = GetActiveWindow();
        if (IsDialogWindow(active) && IsDialogMessageA(active, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void PumpMessages(DWORD ms) {
    DWORD start = GetTickCount();
    do {
        DispatchPending();
        Sleep(5);
    } while (GetTickCount() - start < ms);
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(10);
    }
    return true;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        DispatchPending();
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        // Woken by a message or a timer of this thread; at the latest after
        // 10 ms, for events that no message announces (another process's pixels).
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::wstring Widen(const std::string& text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(n > 0 ? (size_t)n : 1, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], n);
    wide.resize(wide.size() - 1);
    return wide;
}

}  // namespace testsupport
