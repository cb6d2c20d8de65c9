/* Stands for the support site in the About box tests: when the shell opens
   it, it leaves "opened.txt" beside itself, so a test sees that the link's
   address was really handed to the shell. */
#include <windows.h>
#include <string.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, path, sizeof(path));
    (void)instance; (void)previous; (void)commandLine; (void)show;
    if (n == 0 || n >= sizeof(path)) return 1;
    char* slash = strrchr(path, '\\');
    if (slash == NULL || (size_t)(slash - path) + 12 >= sizeof(path)) return 1;
    strcpy(slash + 1, "opened.txt");
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(file);
    return 0;
}
