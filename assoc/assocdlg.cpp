// The association dialog: one group of controls per file type whose detail area
// opens and closes, track limits that pin the height (to the work area at most,
// scrolling what lies beyond), and OK applying only what differs from the
// settings loaded when the dialog opened.
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
    int typeId;
    int controls[GROUP_CONTROL_COUNT];
};

// A group's controls are numbered from its base in the resource.
constexpr ControlGroup GroupAt(int typeId, int base) {
    return {typeId,
            {base + IDC_OFFSET_CHECK, base + IDC_OFFSET_DETAILS, base + IDC_OFFSET_KEY,
             base + IDC_OFFSET_KEY_LABEL, base + IDC_OFFSET_MENU, base + IDC_OFFSET_MENU_LABEL,
             base + IDC_OFFSET_COMMAND, base + IDC_OFFSET_COMMAND_LABEL, base + IDC_OFFSET_GROUP}};
}

// Row i belongs to FileTypeTable[i]; every loop over the groups visits them so.
static constexpr ControlGroup ControlGroupTable[] = {
    GroupAt(FILE_TYPE_FOLDER, IDC_FOLDER_BASE),
    GroupAt(FILE_TYPE_FOLDER_BACKGROUND, IDC_FOLDER_BACKGROUND_BASE),
    GroupAt(FILE_TYPE_EXE, IDC_EXE_BASE),
    GroupAt(FILE_TYPE_DLL, IDC_DLL_BASE),
    GroupAt(FILE_TYPE_OCX, IDC_OCX_BASE),
    GroupAt(FILE_TYPE_CPL, IDC_CPL_BASE),
    GroupAt(FILE_TYPE_SCR, IDC_SCR_BASE),
    GroupAt(FILE_TYPE_ICL, IDC_ICL_BASE),
    GroupAt(FILE_TYPE_MUN, IDC_MUN_BASE),
};

constexpr bool GroupsFollowFileTypeTable() {
    if (sizeof(ControlGroupTable) / sizeof(ControlGroupTable[0]) != FILE_TYPE_COUNT) return false;
    for (int i = 0; i < FILE_TYPE_COUNT; i++)
        if (ControlGroupTable[i].typeId != FileTypeTable[i].typeId) return false;
    return true;
}

static_assert(GroupsFollowFileTypeTable(),
              "ControlGroupTable needs one row per FileTypeTable row, in its order");

// Controls outside the groups: they move with what lies below an opened or
// closed detail area, and only OK and Cancel follow a width change.
static const int kLooseControls[] = {IDC_HEADING_FOLDERS, IDC_HEADING_PROGRAMS, IDC_HEADING_MODULES,
                                     IDOK, IDCANCEL};

// Per group the details button moves along a width change and the three edits
// and the group box grow with it; then OK and Cancel move.
enum { GROWING_COLUMN_COUNT = 4, RESIZED_CONTROL_COUNT = FILE_TYPE_COUNT * 5 + 2 };
static const GroupColumn kGrowingColumns[GROWING_COLUMN_COUNT] = {
    COLUMN_KEY_EDIT, COLUMN_MENU_EDIT, COLUMN_COMMAND_EDIT, COLUMN_GROUP_BOX};

// Template units: the bottom margin below OK and Cancel, and one step of the
// scroll bar's arrows (the height of a group with its details closed).
enum { BOTTOM_MARGIN_UNITS = 5, SCROLL_LINE_UNITS = 22 };

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
    LONG keptWindowHeight;  // pinned by the track limits: the content's, at most the work area's
    int scrollPos;          // pixels of content scrolled above the client area
    int bottomMargin;       // pixels below OK and Cancel
    int scrollLine;         // pixels of one arrow step
    // The kept sizes are valid; messages that arrive earlier get default handling.
    bool initialised;
};

static const char PROP_DIALOG_STATE[] = "PROP_DIALOG_STATE";

// Null before WM_INITDIALOG and after WM_DESTROY.
static AssociationDialogState* StateOf(HWND dialog) {
    return (AssociationDialogState*)GetPropA(dialog, PROP_DIALOG_STATE);
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

// ---------------------------------------------------------------- height and scrolling

static int MapDialogUnitsY(HWND dialog, int units) {
    RECT r = {0, 0, 0, units};
    MapDialogRect(dialog, &r);
    return r.bottom;
}

// Client pixels that everything needs, from the content's top to the margin
// below OK, whatever part of it is scrolled away.
static LONG ContentHeight(HWND dialog, const AssociationDialogState* state) {
    POINT okBottom = {0, GetDlgItemBottom(dialog, IDOK)};
    ScreenToClient(dialog, &okBottom);
    return okBottom.y + state->scrollPos + state->bottomMargin;
}

// Moves every child by dy: all of them, also the hidden and those outside the
// client area, which a scroll of the window's pixels would leave behind.
static void OffsetAllChildren(HWND dialog, int dy) {
    HDWP batch = BeginDeferWindowPos(FILE_TYPE_COUNT * GROUP_CONTROL_COUNT + 8);
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        DeferOffsetWindow(&batch, child, 0, dy, 0, 0);
    if (batch != nullptr) EndDeferWindowPos(batch);
    InvalidateRect(dialog, nullptr, TRUE);
}

// Scrolls the content so that pos pixels lie above the client area, kept
// between the top and the end of the content.
static void ScrollContentTo(HWND dialog, int pos) {
    AssociationDialogState* state = StateOf(dialog);
    RECT client;
    GetClientRect(dialog, &client);
    int last = (int)(ContentHeight(dialog, state) - RectHeight(&client));
    if (pos > last) pos = last;
    if (pos < 0) pos = 0;
    if (pos != state->scrollPos) {
        OffsetAllChildren(dialog, state->scrollPos - pos);
        state->scrollPos = pos;
    }
    SetScrollPos(dialog, SB_VERT, pos, TRUE);
}

// The scroll bar shows only while the content is taller than the client area.
static void UpdateScrollBar(HWND dialog) {
    AssociationDialogState* state = StateOf(dialog);
    RECT client;
    GetClientRect(dialog, &client);
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE;
    info.nMax = (int)ContentHeight(dialog, state) - 1;
    info.nPage = (UINT)RectHeight(&client);
    SetScrollInfo(dialog, SB_VERT, &info, TRUE);
    ScrollContentTo(dialog, state->scrollPos);
}

// The window takes the content's height, but never more than the work area:
// what does not fit is reached with the scroll bar. The track limits pin the
// height, so the kept one changes before the resize.
static void FitWindowToContent(HWND dialog) {
    AssociationDialogState* state = StateOf(dialog);
    RECT client;
    GetClientRect(dialog, &client);
    LONG frame = GetWindowHeight(dialog) - RectHeight(&client);
    LONG wanted = frame + ContentHeight(dialog, state);
    RECT area = GetPlacementArea();
    state->keptWindowHeight = wanted < RectHeight(&area) ? wanted : RectHeight(&area);
    ResizeWindowTo(dialog, GetWindowWidth(dialog), state->keptWindowHeight);
    KeepWindowInWorkArea(dialog);
    UpdateScrollBar(dialog);
}

static void OnVScroll(HWND dialog, int request) {
    AssociationDialogState* state = StateOf(dialog);
    if (state == nullptr || !state->initialised) return;
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    GetScrollInfo(dialog, SB_VERT, &info);
    int pos = state->scrollPos;
    switch (request) {
        case SB_LINEUP:
            pos -= state->scrollLine;
            break;
        case SB_LINEDOWN:
            pos += state->scrollLine;
            break;
        case SB_PAGEUP:
            pos -= (int)info.nPage;
            break;
        case SB_PAGEDOWN:
            pos += (int)info.nPage;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            pos = info.nTrackPos;
            break;
        case SB_TOP:
            pos = 0;
            break;
        case SB_BOTTOM:
            pos = info.nMax;
            break;
        default:
            return;
    }
    ScrollContentTo(dialog, pos);
}

// Three arrow steps per notch; nothing moves while everything fits.
static void OnMouseWheel(HWND dialog, WPARAM wParam) {
    AssociationDialogState* state = StateOf(dialog);
    if (state == nullptr || !state->initialised) return;
    int notches = GET_WHEEL_DELTA_WPARAM(wParam);
    ScrollContentTo(dialog, state->scrollPos - notches * 3 * state->scrollLine / WHEEL_DELTA);
}

// An edit that takes the focus (by Tab, say) is scrolled into the client area.
static void ScrollIntoView(HWND dialog, HWND control) {
    AssociationDialogState* state = StateOf(dialog);
    RECT r, client;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, (POINT*)&r, 2);
    GetClientRect(dialog, &client);
    if (r.top < 0)
        ScrollContentTo(dialog, state->scrollPos + (int)r.top);
    else if (r.bottom > client.bottom)
        ScrollContentTo(dialog, state->scrollPos + (int)(r.bottom - client.bottom));
}

// ---------------------------------------------------------------- group operations

static void EnableGroupFields(HWND dialog, const ControlGroup* group, bool enable) {
    for (int c = FIRST_DETAIL_COLUMN; c < GROUP_CONTROL_COUNT; c++)
        if (IsValidDlgItem(dialog, group->controls[c]))
            EnableDlgItem(dialog, group->controls[c], enable);
}

static void MoveGroupDown(HWND dialog, const ControlGroup* group, int delta) {
    for (int c = 0; c < GROUP_CONTROL_COUNT; c++)
        if (IsValidDlgItem(dialog, group->controls[c]))
            OffsetDlgItem(dialog, group->controls[c], delta);
}

// Hidden controls keep their places; the groups, headings and buttons below
// the group move by the height of its detail area. A group is judged by its
// group box, as its hidden details may reach into the rows below it.
static void ToggleGroupDetails(HWND dialog, const ControlGroup* group, bool show) {
    int detailsButton = group->controls[COLUMN_DETAILS_BUTTON];
    int groupBox = group->controls[COLUMN_GROUP_BOX];
    SetItemTextIfExists(dialog, detailsButton, show ? kShowDetailsText : kHideDetailsText);
    for (int c = FIRST_DETAIL_COLUMN; c < GROUP_CONTROL_COUNT; c++)
        if (IsValidDlgItem(dialog, group->controls[c]))
            ShowDlgItem(dialog, group->controls[c], show);

    LONG buttonBottom = GetDlgItemBottom(dialog, detailsButton);
    int delta = (int)(GetDlgItemBottom(dialog, groupBox) - buttonBottom);
    if (!show) delta = -delta;
    for (const ControlGroup& other : ControlGroupTable) {
        if (&other == group) continue;
        if (GetDlgItemTop(dialog, other.controls[COLUMN_GROUP_BOX]) > buttonBottom)
            MoveGroupDown(dialog, &other, delta);
    }
    for (int id : kLooseControls)
        if (IsValidDlgItem(dialog, id) && GetDlgItemTop(dialog, id) > buttonBottom)
            OffsetDlgItem(dialog, id, delta);
}

static void ShowGroupDetails(HWND dialog, const ControlGroup* group, bool show) {
    ToggleGroupDetails(dialog, group, show);
    FitWindowToContent(dialog);
}

static void WriteDialogSettings(HWND dialog, const AssociationSettings* settings) {
    for (int i = 0; i < FILE_TYPE_COUNT; i++) {
        const FileTypeRow* type = &FileTypeTable[i];
        const ControlGroup* group = &ControlGroupTable[i];
        const FileTypeSettings* block = &settings->types[type->typeId - FILE_TYPE_ID_BASE];
        int checkBox = group->controls[COLUMN_CHECK_BOX];
        if (IsValidDlgItem(dialog, checkBox)) {
            bool checked = (settings->enabledMask & type->typeBit) != 0;
            EnableGroupFields(dialog, group, checked);
            CheckDlgButton(dialog, checkBox, checked ? BST_CHECKED : BST_UNCHECKED);
        } else {
            EnableGroupFields(dialog, group, false);
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
        const ControlGroup* group = &ControlGroupTable[i];
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
    KeepInitialSizes(dialog, state);
    state->bottomMargin = MapDialogUnitsY(dialog, BOTTOM_MARGIN_UNITS);
    state->scrollLine = MapDialogUnitsY(dialog, SCROLL_LINE_UNITS);
    state->initialised = true;
    LoadAssociationSettings(g_verbRoots, &state->loaded);
    state->detailsMask = 0;
    AddSystemMenuItems(dialog);
    for (const ControlGroup& group : ControlGroupTable) ToggleGroupDetails(dialog, &group, false);
    FitWindowToContent(dialog);
    // Centred at the size it opens with, not at the template's, which is every
    // detail area open and may be taller than the screen.
    PlaceWindowAtCursor(dialog);
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
        const ControlGroup* group = &ControlGroupTable[i];
        if (id == group->controls[COLUMN_CHECK_BOX]) {
            EnableGroupFields(dialog, group, IsDlgButtonChecked(dialog, id) == BST_CHECKED);
            return true;
        }
        if (id == group->controls[COLUMN_DETAILS_BUTTON]) {
            // The mask changes before the resize, whose track limits read it.
            AssociationDialogState* state = StateOf(dialog);
            state->detailsMask ^= type->typeBit;
            ShowGroupDetails(dialog, group, (state->detailsMask & type->typeBit) != 0);
            return true;
        }
    }
    return false;
}

static BOOL OnCommand(HWND dialog, int id, int code, HWND control) {
    if (code == EN_SETFOCUS) {
        ScrollIntoView(dialog, control);
        return TRUE;
    }
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
    HDWP batch = BeginDeferWindowPos(RESIZED_CONTROL_COUNT);
    if (batch == nullptr) return;
    int dx = (int)LOWORD(lParam) - (int)state->keptClientSize.cx;
    for (const ControlGroup& group : ControlGroupTable) {
        DeferOffsetDlgItem(&batch, dialog, group.controls[COLUMN_DETAILS_BUTTON], dx, 0, 0, 0);
        for (GroupColumn column : kGrowingColumns)
            DeferOffsetDlgItem(&batch, dialog, group.controls[column], 0, 0, dx, 0);
    }
    DeferOffsetDlgItem(&batch, dialog, IDOK, dx, 0, 0, 0);
    DeferOffsetDlgItem(&batch, dialog, IDCANCEL, dx, 0, 0, 0);
    if (batch != nullptr) EndDeferWindowPos(batch);
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
            return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam), (HWND)lParam);
        case WM_SYSCOMMAND:
            return OnSysCommand(dialog, LOWORD(wParam));
        case WM_SIZE:
            OnSize(dialog, wParam, lParam);
            return TRUE;
        case WM_VSCROLL:
            OnVScroll(dialog, LOWORD(wParam));
            return TRUE;
        case WM_MOUSEWHEEL:
            OnMouseWheel(dialog, wParam);
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
    // About 600 KB: too much for the stack. The dialog takes it over (and sets
    // this pointer to null) at WM_INITDIALOG; a dialog that never got that far
    // leaves it here to be freed.
    AssociationDialogState* state = NewDialogState();
    if (state == nullptr) return false;
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ASSOCIATION),
                                     nullptr, AssociationDialogProc, (LPARAM)&state);
    free(state);
    return result == IDOK;
}
