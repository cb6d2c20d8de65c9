// Helpers shared by the test programs: where the build's files are, scratch
// folders, whole-file reads and writes, and running pelnore.exe (or any other
// program) with an exact command line while collecting its debug-channel lines.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "../../util/compat.h"

namespace testsupport {

typedef std::vector<unsigned char> Bytes;

// Folder of the running test program (build\tests), without a trailing backslash.
std::string TestDir();
// build\pelnore.exe as a Windows path.
std::string PelnoreExe();
// A fresh, empty folder build\tests\scratch\<program>\<name>.
std::string ScratchDir(const std::string& name);
bool RemoveTree(const std::string& path);

bool ReadFileBytes(const std::string& path, std::vector<unsigned char>* bytes);
bool WriteFileBytes(const std::string& path, const void* data, size_t size);
bool FileExists(const std::string& path);
// The file's size from its directory entry, all 64 bits, or -1.
LONGLONG FileSize(const std::string& path);
// A module with exact resources: build\tests\fixtures\stub.dll, an empty DLL,
// copied to path and filled with the resource-update calls. A name "#12" is
// the integer identifier 12. True when every update call succeeded.
struct ResourceSpec {
    LPCSTR type;
    std::string name;
    Bytes bytes;
};
bool BuildModule(const std::string& path, const std::vector<ResourceSpec>& resources);

// Names (not paths) of the files in a folder, sorted; empty when it is missing.
std::vector<std::string> ListFolder(const std::string& folder);
// Each file of a folder by name, with its bytes.
std::map<std::string, std::vector<unsigned char>> FolderContents(const std::string& folder);

struct RunResult {
    bool started = false;
    bool finished = false;  // ended within the time-out (otherwise it was killed)
    DWORD exitCode = 0;
    std::vector<std::string> debugLines;  // OutputDebugStringA texts, in order
};

// Runs commandLine (exactly as given to CreateProcessA) as a debuggee so that
// its OutputDebugStringA texts are collected; kills it after timeoutMs.
RunResult RunCapturingDebugOutput(const std::string& commandLine, DWORD timeoutMs);
// The same with a wide command line (CreateProcessW), for names that the ANSI
// code page cannot hold.
RunResult RunCapturingDebugOutput(const std::wstring& commandLine, DWORD timeoutMs);
// Runs commandLine and waits; showCommand goes into STARTUPINFO.
RunResult RunAndWait(const std::string& commandLine, DWORD timeoutMs,
                     WORD showCommand = SW_SHOWNORMAL);

// pelnore.exe with the arguments, waited for up to timeoutMs.
RunResult RunPelnore(const std::string& arguments, DWORD timeoutMs);

// Starts a program without waiting; the caller closes the handles.
bool StartProcess(const std::string& commandLine, PROCESS_INFORMATION* info,
                  WORD showCommand = SW_SHOWNORMAL);
bool StartProcess(const std::wstring& commandLine, PROCESS_INFORMATION* info,
                  WORD showCommand = SW_SHOWNORMAL);
// The first top-level window of the process whose class matches (null: any),
// waiting up to timeoutMs for it to appear.
HWND WaitForProcessWindow(DWORD processId, const char* className, DWORD timeoutMs);
std::vector<HWND> ProcessWindows(DWORD processId, const char* className);
// The first visible top-level window of the process whose class matches, once
// its thread has answered a sent message (a dialog is then initialised and in
// its message loop); null when none shows within timeoutMs.
HWND WaitForVisibleWindow(DWORD processId, const char* className, DWORD timeoutMs);

// Waiting for an event rather than for a time: done() is asked until it holds
// or timeoutMs pass, and the answer is whether it held. Give a time-out far
// above the event's own time, as it costs nothing when the event comes.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs);
// The same while dispatching this thread's messages as PumpMessages does, for
// events that come through this thread's own windows and timers.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// The window's rectangle in screen coordinates (empty when it is gone).
RECT WindowRect(HWND window);
// Dispatches the thread's messages for ms milliseconds; keyboard messages go
// through IsDialogMessageA when the active window is a dialog.
void PumpMessages(DWORD ms);
// Top-level windows of any process whose class matches.
std::vector<HWND> TopLevelWindows(const char* className);
// Wine's system tray without a desktop: one standalone tray window with a child
// window per icon. These are the icon windows, in the tray's order.
std::vector<HWND> TrayIconWindows();
// The visible popup menu window of the process, waiting up to timeoutMs.
HWND WaitForMenu(DWORD processId, DWORD timeoutMs);
// Real button presses at a screen point, through the system's input queue
// (for example MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP).
void ClickAt(POINT point, DWORD downFlag, DWORD upFlag);

// Presses and releases one key through the real input queue (SendInput), so
// that it reaches whichever window has the focus.
void PressKey(WORD virtualKey);

// "\"" + text + "\"".
std::string Quote(const std::string& text);
// An ANSI text in UTF-16.
std::wstring Widen(const std::string& text);

}  // namespace testsupport
