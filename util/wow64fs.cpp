// The WOW64 file system redirection of the calling thread, through functions
// looked up in kernel32.
#include "wow64fs.h"

#include <string.h>

#include "bounded.h"
#include "mbstring.h"

namespace {

typedef BOOL(WINAPI* DisableRedirectionFunction)(PVOID* previous);
typedef BOOL(WINAPI* RevertRedirectionFunction)(PVOID previous);
typedef BOOL(WINAPI* IsWow64ProcessFunction)(HANDLE process, PBOOL wow64);

// Looked up at each use rather than kept, so that no thread ever reads what
// another is still writing; the calls are few (one per argument, one per job).
struct RedirectionFunctions {
    bool redirected;
    DisableRedirectionFunction disable;
    RevertRedirectionFunction revert;
};

RedirectionFunctions Functions() {
    RedirectionFunctions functions = {false, nullptr, nullptr};
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr) return functions;
    IsWow64ProcessFunction isWow64 =
        (IsWow64ProcessFunction)(void*)GetProcAddress(kernel, "IsWow64Process");
    functions.disable =
        (DisableRedirectionFunction)(void*)GetProcAddress(kernel, "Wow64DisableWow64FsRedirection");
    functions.revert =
        (RevertRedirectionFunction)(void*)GetProcAddress(kernel, "Wow64RevertWow64FsRedirection");
    BOOL wow64 = FALSE;
    functions.redirected = isWow64 != nullptr && functions.disable != nullptr &&
                           functions.revert != nullptr && isWow64(GetCurrentProcess(), &wow64) &&
                           wow64;
    return functions;
}

}  // namespace

void PauseFileRedirection(FileRedirection* redirection) {
    redirection->previous = nullptr;
    redirection->paused = false;
    RedirectionFunctions functions = Functions();
    if (functions.redirected)
        redirection->paused = functions.disable(&redirection->previous) != FALSE;
}

void ResumeFileRedirection(const FileRedirection* redirection) {
    if (redirection->paused) Functions().revert(redirection->previous);
}

bool IsFileSystemRedirected() {
    return Functions().redirected;
}

bool IsInSystemFolder(const char* path) {
    char system[PATH_CAPACITY];
    UINT length = GetSystemDirectoryA(system, PATH_CAPACITY);
    if (length == 0 || length >= PATH_CAPACITY || strlen(path) < length) return false;
    // The folder's own text ends on a whole character of the path.
    if (ByteTypeAt(path, length) == BYTE_TRAIL) return false;
    if (path[length] != '\0' && path[length] != '\\') return false;
    char head[PATH_CAPACITY];
    memcpy(head, path, length);
    head[length] = '\0';
    return StringsEqualNoCase(head, system);
}
