// The association dialog: one group of controls per file type whose detail area
// opens and closes, track limits that pin the height, and OK applying only what
// differs from the settings loaded when the dialog opened.
#include "assocdlg.h"

#include <stdlib.h>

#include "../TOOLS/toolwind.h"
#include "../about/aboutdlg.h"
#include "../res/resource.h"
#include "../util/bounded.h"
#include "applyfailure.h"
#include "settings.h"
#include "support.h"

// Column order of a group's controls; every loop over a group visits them so.
enum GroupColumn {
    COLUMN_CHECK_BOX,
    COLUMN_DETAILS_BUTTON,
    COLUMN_KEY_EDIT,
    COLUMN_KEY_LABEL,
    COLUMN_MENU_EDIT,
    COLUMN_MENU_LABEL,
    COLUMN_COMMAND_EDIT,
    COLUMN_COMMAND_LABEL,
    COLUMN_GROUP_BOX,
    GROUP_CONTROL_COUNT,
    // The columns from here on are the detail controls: shown, hidden, enabled
    // and disabled together.
    FIRST_DETAIL_COLUMN = COLUMN_KEY_EDIT
};

struct ControlGroup {
    int controls[GROUP_CONTROL_COUNT];
};

// Indexed like the settings blocks: typeId - FILE_TYPE_ID_BASE of FileTypeTable.
static const ControlGroup ControlGroupTable[FILE_TYPE_COUNT] = {
    {{IDC_EXE_CHECK, IDC_EXE_DETAILS, IDC_EXE_KEY, IDC_EXE_KEY_LABEL, IDC_EXE_MENU,
      IDC_EXE_MENU_LABEL, IDC_EXE_COMMAND, IDC_EXE_COMMAND_LABEL, IDC_EXE_GROUP}},
    {{IDC_DLL_CHECK, IDC_DLL_DETAILS, IDC_DLL_KEY, IDC_DLL_KEY_LABEL, IDC_DLL_MENU,
      IDC_DLL_MENU_LABEL, IDC_DLL_COMMAND, IDC_DLL_COMMAND_LABEL, IDC_DLL_GROUP}},
};

// The controls that follow a width change: moved along, or widened.
struct ResizeRow {
    int id;
    bool moves;
};

enum { RESIZE_ROW_COUNT = 12 };

static const ResizeRow ResizeLayoutTable[RESIZE_ROW_COUNT] = {
    {IDC_EXE_DETAILS, true},  {IDC_EXE_KEY, false},   {IDC_EXE_MENU, false},
    {IDC_EXE_COMMAND, false}, {IDC_EXE_GROUP, false}, {IDC_DLL_DETAILS, true},
    {IDC_DLL_KEY, false},     {IDC_DLL_MENU, false},  {IDC_DLL_COMMAND, false},
    {IDC_DLL_GROUP, false},   {IDOK, true},           {IDCANCEL, true},
};

static const char kShowDetailsText[] = "<< 詳細";
static const char kHideDetailsText[] = "詳細 >>";
static const char kRestoreMenuText[] = "設定を初期値に戻す(&D)";
static const char kAboutMenuText[] = "About(&A)";

static const AboutInfo kAboutInfo = {kSupportUrl};

// The registry is one for the whole process, and so are the roots the dialog
// works on; only a test puts others in their place.
static const VerbRoots* g_verbRoots = &kSystemVerbRoots;

const VerbRoots* UseVerbRoots(const VerbRoots* roots) {
    const VerbRoots* before = g_verbRoots;
    g_verbRoots = roots != nullptr ? roots : &kSystemVerbRoots;
    return before;
}

// The state of one dialog: allocated by its opener, handed over through the
// creation parameter, held as the window property PROP_DIALOG_STATE and freed
// at WM_DESTROY.
struct AssociationDialogState {
    AssociationSettings loaded;  // as loaded at initialisation; never changed afterwards
    AssociationSettings edited;  // scratch record for OK
    DWORD detailsMask;           // type bits of the groups whose details are shown
    SIZE keptClientSize;
    LONG keptWindowWidth;
    LONG keptWindowHeight;
    // The kept sizes are valid; messages that arrive earlier get default handling.
    bool initialised;
};

static const char PROP_DIALOG_STATE[] = "PROP_DIALOG_STATE";

// Null before WM_INITDIALOG and after WM_DESTROY.
static AssociationDialogState* StateOf(HWND dialog) {
    return (AssociationDialogState*)GetPropA(dialog, PROP_DIALOG_STATE);
}

static const ControlGroup* GroupOfType(int typeId) {
    return &ControlGroupTable[typeId - FILE_TYPE_ID_BASE];
}

static FileTypeSettings* BlockOfType(AssociationSettings* settings, int typeId) {
    return &settings->types[typeId - FILE_TYPE_ID_BASE];
}

static void SetItemTextIfExists(HWND dialog, int id, const char* text) {
    if (IsValidDlgItem(dialog, id)) SetDlgItemTextA(dialog, id, text);
}

static void GetItemTextIfExists(HWND dialog, int id, char* text, int capacity) {
    if (IsValidDlgItem(dialog, id)) GetDlgItemTextA(dialog, id, text, capacity);
}

// ---------------------------------------------------------------- group operations

static void EnableGroupFields(HWND dialog, int typeId, bool enable) {
    const ControlGroup* group = GroupOfType(typeId);
    for (int c = FIRST_DETAIL_COLUMN; c < GROUP_CONTROL_COUNT; c++)
        if (IsValidDlgItem(dialog, group->controls[c]))
            EnableDlgItem(dialog, group->controls[c], enable);
}

static void MoveGroupDown(HWND dialog, const ControlGroup* group, int delta) {
    for (int c = 0; c < GROUP_CONTROL_COUNT; c++)
        if (IsValidDlgItem(dialog, group->controls[c]))
            OffsetDlgItem(dialog, group->controls[c], delta);
}

// Hidden controls keep their places; what lies below the group moves, and the
// window grows or shrinks by the height of the detail area.
static void ShowGroupDetails(HWND dialog, int typeId, bool show) {
    const ControlGroup* group = GroupOfType(typeId);
    int detailsButton = group->controls[COLUMN_DETAILS_BUTTON];
    int groupBox = group->controls[COLUMN_GROUP_BOX];
    SetItemTextIfExists(dialog, detailsButton, show ? kShowDetailsText : kHideDetailsText);
    for (int c = FIRST_DETAIL_COLUMN; c < GROUP_CONTROL_COUNT; c++)
        if (IsValidDlgItem(dialog, group->controls[c]))
            ShowDlgItem(dialog, group->controls[c], show);

    LONG buttonBottom = GetDlgItemBottom(dialog, detailsButton);
    int delta = (int)(GetDlgItemBottom(dialog, groupBox) - buttonBottom);
    if (!show) delta = -delta;
    for (int i = 0; i < FILE_TYPE_COUNT; i++) {
        const ControlGroup* other = &ControlGroupTable[i];
        if (other == group) continue;
        if (GetDlgItemTop(dialog, other->controls[COLUMN_GROUP_BOX]) > buttonBottom)
            MoveGroupDown(dialog, other, delta);
    }
    OffsetDlgItem(dialog, IDOK, delta);
    OffsetDlgItem(dialog, IDCANCEL, delta);
    // The track limits pin the height to the kept one, so it changes first.
    StateOf(dialog)->keptWindowHeight += delta;
    InflateWindow(dialog, 0, delta);
}

static void WriteDialogSettings(HWND dialog, const AssociationSettings* settings) {
    for (int i = 0; i < FILE_TYPE_COUNT; i++) {
        const FileTypeRow* type = &FileTypeTable[i];
        const ControlGroup* group = GroupOfType(type->typeId);
        const FileTypeSettings* block = &settings->types[type->typeId - FILE_TYPE_ID_BASE];
        int checkBox = group->controls[COLUMN_CHECK_BOX];
        if (IsValidDlgItem(dialog, checkBox)) {
            bool checked = (settings->enabledMask & type->typeBit) != 0;
            EnableGroupFields(dialog, type->typeId, checked);
            CheckDlgButton(dialog, checkBox, checked ? BST_CHECKED : BST_UNCHECKED);
        } else {
            EnableGroupFields(dialog, type->typeId, false);
        }
        SetItemTextIfExists(dialog, group->controls[COLUMN_KEY_EDIT], block->keyText);
        SetItemTextIfExists(dialog, group->controls[COLUMN_MENU_EDIT], block->menuText);
        SetItemTextIfExists(dialog, group->controls[COLUMN_COMMAND_EDIT], block->commandLine);
    }
}

// A missing control keeps the loaded value; disabled controls are read too.
static void ReadDialogSettings(HWND dialog, const AssociationSettings* loadedSettings,
                               AssociationSettings* settings) {
    settings->enabledMask = 0;
    for (int i = 0; i < FILE_TYPE_COUNT; i++) {
        const FileTypeRow* type = &FileTypeTable[i];
        const ControlGroup* group = GroupOfType(type->typeId);
        int checkBox = group->controls[COLUMN_CHECK_BOX];
        if (IsValidDlgItem(dialog, checkBox) && IsDlgButtonChecked(dialog, checkBox) == BST_CHECKED)
            settings->enabledMask |= type->typeBit;
        FileTypeSettings* block = BlockOfType(settings, type->typeId);
        const FileTypeSettings* loaded = &loadedSettings->types[type->typeId - FILE_TYPE_ID_BASE];
        CopyBounded(block->menuText, MENU_TEXT_CAPACITY, loaded->menuText);
        CopyBounded(block->commandLine, COMMAND_LINE_CAPACITY, loaded->commandLine);
        CopyBounded(block->keyText, KEY_TEXT_CAPACITY, loaded->keyText);
        GetItemTextIfExists(dialog, group->controls[COLUMN_KEY_EDIT], block->keyText,
                            KEY_TEXT_CAPACITY);
        GetItemTextIfExists(dialog, group->controls[COLUMN_MENU_EDIT], block->menuText,
                            MENU_TEXT_CAPACITY);
        GetItemTextIfExists(dialog, group->controls[COLUMN_COMMAND_EDIT], block->commandLine,
                            COMMAND_LINE_CAPACITY);
    }
}

// ---------------------------------------------------------------- system menu

static int FindMaximizeItem(HMENU menu) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; i++)
        if (GetMenuItemID(menu, i) == SC_MAXIMIZE) return i;
    return -1;
}

// Inserted one after another just behind the maximize item, so in reverse.
static void AddSystemMenuItems(HWND dialog) {
    HMENU menu = GetSystemMenu(dialog, FALSE);
    int maximize = FindMaximizeItem(menu);
    if (maximize < 0) return;
    UINT at = (UINT)(maximize + 1);
    InsertMenuA(menu, at, MF_BYPOSITION | MF_STRING, IDM_ABOUT, kAboutMenuText);
    InsertMenuA(menu, at, MF_BYPOSITION | MF_STRING, IDM_RESTORE_SETTINGS, kRestoreMenuText);
    InsertMenuA(menu, at, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
}

// ---------------------------------------------------------------- messages

static void SetShellIcons(HWND dialog) {
    HMODULE module = GetModuleHandleA(nullptr);
    // The icons stay with the window until the process ends.
    SetWindowIcon(dialog, ICON_BIG, GetModuleIcon(module, false));
    SetWindowIcon(dialog, ICON_SMALL, GetModuleIcon(module, true));
}

static void KeepInitialSizes(HWND dialog, AssociationDialogState* state) {
    RECT client;
    GetClientRect(dialog, &client);
    state->keptClientSize = RectSize(&client);
    SIZE window = GetWindowSize(dialog);
    state->keptWindowWidth = window.cx;
    state->keptWindowHeight = window.cy;
}

static AssociationDialogState* NewDialogState() {
    return (AssociationDialogState*)calloc(1, sizeof(AssociationDialogState));
}

// Takes over the state that the opener handed in (a creator that brings none,
// such as a modeless CreateDialogParamA with 0, gets a fresh one). Without
// memory for it the dialog ends at once.
static BOOL OnInitDialog(HWND dialog, LPARAM creationParameter) {
    AssociationDialogState** handedIn = (AssociationDialogState**)creationParameter;
    AssociationDialogState* state = nullptr;
    if (handedIn != nullptr) {
        state = *handedIn;
        *handedIn = nullptr;
    } else {
        state = NewDialogState();
    }
    if (state == nullptr || !SetPropA(dialog, PROP_DIALOG_STATE, (HANDLE)state)) {
        free(state);
        EndDialog(dialog, IDCANCEL);
        return FALSE;
    }
    SetShellIcons(dialog);
    PlaceWindowAtCursor(dialog);
    KeepInitialSizes(dialog, state);
    state->initialised = true;
    LoadAssociationSettings(g_verbRoots, &state->loaded);
    state->detailsMask = 0;
    AddSystemMenuItems(dialog);
    for (int i = 0; i < FILE_TYPE_COUNT; i++)
        ShowGroupDetails(dialog, FileTypeTable[i].typeId, false);
    WriteDialogSettings(dialog, &state->loaded);
    return FALSE;
}

static void OnDestroy(HWND dialog) {
    free(RemovePropA(dialog, PROP_DIALOG_STATE));
}

// A change that could be written nowhere is said, and the dialog stays open
// with the user's edits, so that nothing looks done that was not.
static void OnOk(HWND dialog) {
    AssociationDialogState* state = StateOf(dialog);
    ReadDialogSettings(dialog, &state->loaded, &state->edited);
    DWORD changed = DiffAssociationSettings(&state->edited, &state->loaded);
    DWORD failed = ApplyAssociationSettings(g_verbRoots, &state->edited, changed);
    if (failed != 0) {
        ShowApplyFailure(dialog, &state->edited, failed);
        return;
    }
    EndDialog(dialog, IDOK);
}

// A check box or a details button of a group; false for any other id.
static bool OnGroupCommand(HWND dialog, int id) {
    for (int i = 0; i < FILE_TYPE_COUNT; i++) {
        const FileTypeRow* type = &FileTypeTable[i];
        const ControlGroup* group = GroupOfType(type->typeId);
        if (id == group->controls[COLUMN_CHECK_BOX]) {
            EnableGroupFields(dialog, type->typeId, IsDlgButtonChecked(dialog, id) == BST_CHECKED);
            return true;
        }
        if (id == group->controls[COLUMN_DETAILS_BUTTON]) {
            // The mask changes before the resize, whose track limits read it.
            AssociationDialogState* state = StateOf(dialog);
            state->detailsMask ^= type->typeBit;
            ShowGroupDetails(dialog, type->typeId, (state->detailsMask & type->typeBit) != 0);
            return true;
        }
    }
    return false;
}

static BOOL OnCommand(HWND dialog, int id) {
    if (id == IDOK) {
        OnOk(dialog);
        return TRUE;
    }
    if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return OnGroupCommand(dialog, id) ? TRUE : FALSE;
}

static BOOL OnSysCommand(HWND dialog, int id) {
    if (id == IDM_RESTORE_SETTINGS) {
        WriteDialogSettings(dialog, &StateOf(dialog)->loaded);
        return TRUE;
    }
    if (id == IDM_ABOUT) {
        ShowAboutDialog(dialog, &kAboutInfo);
        return TRUE;
    }
    return FALSE;
}

// Only the width is laid out; the height is pinned by the track limits.
static void OnSize(HWND dialog, WPARAM kind, LPARAM lParam) {
    AssociationDialogState* state = StateOf(dialog);
    if (kind == SIZE_MINIMIZED || state == nullptr || !state->initialised) return;
    HDWP batch = BeginDeferWindowPos(RESIZE_ROW_COUNT);
    if (batch == nullptr) return;
    int dx = (int)LOWORD(lParam) - (int)state->keptClientSize.cx;
    for (int i = 0; i < RESIZE_ROW_COUNT; i++) {
        const ResizeRow* row = &ResizeLayoutTable[i];
        if (row->moves)
            DeferOffsetDlgItem(&batch, dialog, row->id, dx, 0, 0, 0);
        else
            DeferOffsetDlgItem(&batch, dialog, row->id, 0, 0, dx, 0);
    }
    EndDeferWindowPos(batch);
    state->keptClientSize.cx = LOWORD(lParam);
    state->keptClientSize.cy = HIWORD(lParam);
}

// Before initialisation the kept sizes mean nothing: the system's values stay.
static BOOL OnGetMinMaxInfo(HWND dialog, MINMAXINFO* info) {
    const AssociationDialogState* state = StateOf(dialog);
    if (state == nullptr || !state->initialised) return FALSE;
    info->ptMinTrackSize.y = state->keptWindowHeight;
    info->ptMaxTrackSize.y = state->keptWindowHeight;
    info->ptMinTrackSize.x = state->keptWindowWidth * (state->detailsMask != 0 ? 2 : 1);
    if (state->detailsMask == 0) info->ptMaxTrackSize.x = state->keptWindowWidth;
    return TRUE;
}

struct HitTestRow {
    LRESULT from;
    LRESULT to;
};

// Free client area drags the window; top and bottom edges do not size it.
static const HitTestRow kHitTestMap[] = {
    {HTCLIENT, HTCAPTION}, {HTTOP, HTBORDER},      {HTBOTTOM, HTBORDER},     {HTTOPLEFT, HTLEFT},
    {HTTOPRIGHT, HTRIGHT}, {HTBOTTOMLEFT, HTLEFT}, {HTBOTTOMRIGHT, HTRIGHT},
};

static BOOL OnNcHitTest(HWND dialog, WPARAM wParam, LPARAM lParam) {
    LRESULT hit = DefWindowProcA(dialog, WM_NCHITTEST, wParam, lParam);
    for (const HitTestRow& row : kHitTestMap) {
        if (row.from == hit) return SetDialogResult(dialog, row.to);
    }
    return FALSE;
}

INT_PTR CALLBACK AssociationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog, lParam);
        case WM_COMMAND:
            return OnCommand(dialog, LOWORD(wParam));
        case WM_SYSCOMMAND:
            return OnSysCommand(dialog, LOWORD(wParam));
        case WM_SIZE:
            OnSize(dialog, wParam, lParam);
            return TRUE;
        case WM_GETMINMAXINFO:
            return OnGetMinMaxInfo(dialog, (MINMAXINFO*)lParam);
        case WM_NCHITTEST:
            return OnNcHitTest(dialog, wParam, lParam);
        case WM_DESTROY:
            OnDestroy(dialog);
            return TRUE;
    }
    return FALSE;
}

bool ShowAssociationDialog() {
    // About 137 KB: too much for the stack. The dialog takes it over (and sets
    // this pointer to null) at WM_INITDIALOG; a dialog that never got that far
    // leaves it here to be freed.
    AssociationDialogState* state = NewDialogState();
    if (state == nullptr) return false;
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ASSOCIATION),
                                     nullptr, AssociationDialogProc, (LPARAM)&state);
    free(state);
    return result == IDOK;
}
