// The About box: its in-memory template, its dialog procedure, the version and
// system-resources texts, and the widening to the longest line. The caller of
// ShowAboutDialog owns the AboutInfo; the box owns its icons and template.
#include "aboutdlg.h"

#include <commctrl.h>
#include <shellapi.h>
#include <stdlib.h>
#include <string.h>

#include "../TOOLS/toolwind.h"
#include "../util/bounded.h"
#include "../util/pathpart.h"
#include "linklabel.h"

// The one About box of the process, null while none is open. It stays
// process-wide because it is what keeps to one box at a time: a second
// ShowAboutDialog brings this box forward instead of opening another. Only the
// thread that runs the association dialog touches it.
static HWND g_currentAboutBox = nullptr;

static const char kTooltipText[] = "サポートサイトへ";
static const char kSystemResourceFormat[] = "システムリソース： %d ％使用可能";

// ---------------------------------------------------------------- template

static const Utf16Char kOkText[] = u"OK";

static const DialogDescription kAboutDialog = {
    0x90C820C2,  // WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_CONTEXTHELP |
                 // DS_MODALFRAME | DS_SETFONT | DS_SYSMODAL
    0, 5, 0, 0, 38, 56, 0, nullptr, 0, DIALOG_FACE_NAME, DIALOG_POINT_SIZE,
};

// The text lines start one unit wide; fitting widens them to their texts.
static const DialogItemDescription kAboutItems[] = {
    {DIALOG_CLASS_STATIC, 0, 0x50000003, 0, 7, 7, 20, 21, IDC_ABOUT_ICON},
    {DIALOG_CLASS_STATIC, 0, 0x50000000, 0, 30, 7, 1, 8, IDC_ABOUT_VERSION},
    {DIALOG_CLASS_STATIC, 0, 0x50000000, 0, 30, 16, 1, 8, IDC_ABOUT_LINK},
    {DIALOG_CLASS_STATIC, 0, 0x50000000, 0, 30, 25, 1, 8, IDC_ABOUT_SYSRES},
    {DIALOG_CLASS_BUTTON, NameOrIdFromText(kOkText), 0x50020001, 0, 45, 35, 45, 14, IDOK},
};

void* BuildAboutTemplate() { return BuildDialogTemplate(&kAboutDialog, kAboutItems); }

// ---------------------------------------------------------------- version texts

void* LoadModuleVersionInfo(HMODULE module, DWORD* translation) {
    char path[PATH_CAPACITY];
    if (GetModulePath(module, path, sizeof(path)) == 0) return nullptr;
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0) return nullptr;
    void* block = malloc(size);
    if (block == nullptr) return nullptr;
    void* table = nullptr;
    UINT tableBytes = 0;
    if (!GetFileVersionInfoA(path, 0, size, block) ||
        !VerQueryValueA(block, "\\VarFileInfo\\Translation", &table, &tableBytes) ||
        table == nullptr || tableBytes < sizeof(DWORD)) {
        free(block);
        return nullptr;
    }
    memcpy(translation, table, sizeof(DWORD));
    return block;
}

bool QueryVersionString(char* text, const void* block, DWORD translation, const char* key) {
    text[0] = '\0';
    char subBlock[ABOUT_TEXT_CAPACITY];
    if (FormatBounded(subBlock, sizeof(subBlock), "\\StringFileInfo\\%04x%04x\\%s",
                      (unsigned)LOWORD(translation), (unsigned)HIWORD(translation), key) < 0)
        return false;
    void* value = nullptr;
    UINT valueLength = 0;
    if (!VerQueryValueA((LPVOID)block, subBlock, &value, &valueLength) || value == nullptr)
        return false;
    // The reported length counts characters; the 8-bit copy that the system
    // made of a UTF-16 value takes at most two bytes for each. The value is
    // read no further, and one byte past the capacity at most, so that the
    // bounded copy can still see whether its cut would split a character.
    char bounded[ABOUT_VALUE_CAPACITY + 1];
    size_t limit = (size_t)valueLength * 2;
    if (limit > ABOUT_VALUE_CAPACITY) limit = ABOUT_VALUE_CAPACITY;
    const char* source = (const char*)value;
    size_t n = 0;
    while (n < limit && source[n] != '\0') {
        bounded[n] = source[n];
        n++;
    }
    bounded[n] = '\0';
    CopyBounded(text, ABOUT_VALUE_CAPACITY, bounded);
    return true;
}

static void SetVersionTexts(HWND dialog) {
    DWORD translation = 0;
    void* block = LoadModuleVersionInfo(GetModuleHandleA(nullptr), &translation);
    if (block == nullptr) return;
    char name[ABOUT_VALUE_CAPACITY];
    char version[ABOUT_VALUE_CAPACITY];
    if (!QueryVersionString(name, block, translation, "ProductName") || name[0] == '\0')
        QueryVersionString(name, block, translation, "FileDescription");
    QueryVersionString(version, block, translation, "ProductVersion");
    char text[ABOUT_TEXT_CAPACITY];
    FormatBounded(text, sizeof(text), "%s ver. %s", name, version);
    SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, text);
    FormatBounded(text, sizeof(text), "%s について", name);
    SetWindowTextA(dialog, text);
    free(block);
}

// ---------------------------------------------------------------- system resources

// The entry point's decorated name states the standard calling convention
// with one 4-byte argument, which the callee removes from the stack.
typedef int(WINAPI* FreeSystemResourcesProc)(DWORD kind);

enum { FREE_SYSTEM_RESOURCES = 0 };

bool QueryFreeSystemResources(int* percent) {
    HMODULE library = LoadLibraryA("rsrc32.dll");
    if (library == nullptr) return false;
    FreeSystemResourcesProc query =
        (FreeSystemResourcesProc)(void*)GetProcAddress(library, "_MyGetFreeSystemResources32@4");
    if (query == nullptr) {
        FreeLibrary(library);
        return false;
    }
    *percent = query(FREE_SYSTEM_RESOURCES);
    FreeLibrary(library);
    return true;
}

bool SetSystemResourceLine(HWND control) {
    SetWindowTextA(control, "");
    int percent = 0;
    if (!QueryFreeSystemResources(&percent)) return false;
    char line[ABOUT_SYSRES_CAPACITY];
    FormatBounded(line, sizeof(line), kSystemResourceFormat, percent);
    SetWindowTextA(control, line);
    return true;
}

// ---------------------------------------------------------------- text fitting

bool MeasureWindowText(HWND control, SIZE* size) {
    size->cx = size->cy = 0;
    char* text = GetWindowTextAlloc(control);
    if (text == nullptr) return false;
    HDC dc = GetDC(control);
    if (dc == nullptr) {
        free(text);
        return false;
    }
    int saved = SaveDC(dc);
    SelectObject(dc, (HFONT)SendMessageA(control, WM_GETFONT, 0, 0));
    BOOL measured = GetTextExtentPoint32A(dc, text, lstrlenA(text), size);
    RestoreDC(dc, saved);
    ReleaseDC(control, dc);
    free(text);
    return measured != 0;
}

int FitControlToText(HWND control) {
    SIZE extent;
    int growth = 0;
    if (MeasureWindowText(control, &extent)) {
        int excess = extent.cx - GetWindowWidth(control);
        growth = excess > 0 ? excess : 0;
    }
    InflateWindow(control, growth, 0);
    return growth;
}

static void CentreButton(HWND dialog, HWND button) {
    POINT origin = GetWindowOrigin(button);
    ScreenToWindow(dialog, &origin);
    int left = (GetWindowWidth(dialog) - GetWindowWidth(button)) / 2;
    OffsetWindow(button, left - origin.x, 0);
}

void FitAboutLayout(HWND dialog) {
    static const int kLines[] = {IDC_ABOUT_VERSION, IDC_ABOUT_LINK, IDC_ABOUT_SYSRES};
    int largest = 0;
    for (int id : kLines) {
        int growth = FitControlToText(GetDlgItem(dialog, id));
        if (growth > largest) largest = growth;
    }
    if (largest <= 0) return;
    InflateWindow(dialog, largest, 0);
    CentreButton(dialog, GetDlgItem(dialog, IDOK));
}

// ---------------------------------------------------------------- dialog procedure

static void AddLinkTooltip(HWND dialog) {
    HWND tip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    TOOLINFOA tool;
    ZeroMemory(&tool, sizeof(tool));
    // The first version of the record: understood by every common-controls version.
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = dialog;
    tool.uId = (UINT_PTR)GetDlgItem(dialog, IDC_ABOUT_LINK);
    tool.lpszText = (LPSTR)kTooltipText;
    SendMessageA(tip, TTM_ADDTOOLA, 0, (LPARAM)&tool);
}

static INT_PTR InitAboutDialog(HWND dialog, const AboutDialogData* data) {
    g_currentAboutBox = dialog;
    SetPropA(dialog, PROP_ABOUTDIALOGDATA, (HANDLE)data);
    SetWindowIcon(dialog, ICON_BIG, data->largeIcon);
    SetWindowIcon(dialog, ICON_SMALL, data->smallIcon);
    // Placed before the texts: the box then grows to the right from here.
    PlaceWindowAtCursor(dialog);
    SetVersionTexts(dialog);
    SetSystemResourceLine(GetDlgItem(dialog, IDC_ABOUT_SYSRES));
    HWND link = GetDlgItem(dialog, IDC_ABOUT_LINK);
    SetWindowTextA(link, data->info != nullptr && data->info->supportUrl != nullptr
                             ? data->info->supportUrl
                             : "");
    AttachLinkLabel(link);  // on failure the address stays a plain text
    SendDlgItemMessageA(dialog, IDC_ABOUT_ICON, STM_SETICON, (WPARAM)data->largeIcon, 0);
    AddLinkTooltip(dialog);
    FitAboutLayout(dialog);
    return TRUE;
}

static INT_PTR OnAboutCommand(HWND dialog, WPARAM wParam) {
    WORD id = LOWORD(wParam);
    if (id == IDOK || id == IDCANCEL) EndDialog(dialog, id);
    return TRUE;
}

static INT_PTR OnLinkNotify(HWND dialog, LPARAM lParam) {
    const NMHDR* header = (const NMHDR*)lParam;
    if (header->code == LLN_CLICKED) {
        const AboutDialogData* data =
            (const AboutDialogData*)GetPropA(dialog, PROP_ABOUTDIALOGDATA);
        if (data != nullptr && data->info != nullptr && data->info->supportUrl != nullptr)
            ShellExecuteA(dialog, nullptr, data->info->supportUrl, nullptr, nullptr,
                          SW_SHOWNORMAL);
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    // Sent back to the label: that is what turns it hot and cold again.
    return SendMessageA(header->hwndFrom, WM_NOTIFY, header->idFrom, lParam);
}

// The whole body drags the box like its caption; the button and the link
// answer their own hit-tests and keep their clicks.
static INT_PTR OnAboutHitTest(HWND dialog, WPARAM wParam, LPARAM lParam) {
    LRESULT hit = DefWindowProcA(dialog, WM_NCHITTEST, wParam, lParam);
    return SetDialogResult(dialog, hit == HTCLIENT ? HTCAPTION : hit);
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return InitAboutDialog(dialog, (const AboutDialogData*)lParam);
    case WM_COMMAND:
        return OnAboutCommand(dialog, wParam);
    case WM_NOTIFY:
        if (wParam == IDC_ABOUT_LINK && lParam != 0) return OnLinkNotify(dialog, lParam);
        return TRUE;
    case WM_NCHITTEST:
        return OnAboutHitTest(dialog, wParam, lParam);
    case WM_DESTROY:
        RemovePropA(dialog, PROP_ABOUTDIALOGDATA);
        return TRUE;
    default:
        return FALSE;
    }
}

// ---------------------------------------------------------------- opening

static void BringAboutBoxForward(HWND box) {
    BringWindowToTop(box);
    SetForegroundWindow(box);
    ShowWindow(box, SW_SHOWDEFAULT);
}

void ShowAboutDialog(HWND owner, const AboutInfo* info) {
    if (g_currentAboutBox != nullptr) {
        BringAboutBoxForward(g_currentAboutBox);
        return;
    }
    void* dialogTemplate = BuildAboutTemplate();
    if (dialogTemplate == nullptr) return;
    HMODULE module = GetModuleHandleA(nullptr);
    AboutDialogData data;
    data.largeIcon = GetModuleIcon(module, false);
    data.smallIcon = GetModuleIcon(module, true);
    data.info = info;
    DialogBoxIndirectParamA(module, (LPCDLGTEMPLATEA)dialogTemplate, owner, AboutDialogProc,
                            (LPARAM)&data);
    g_currentAboutBox = nullptr;
    DestroyIcon(data.largeIcon);
    DestroyIcon(data.smallIcon);
    free(dialogTemplate);
}
