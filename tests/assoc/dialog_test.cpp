// The association dialog in a real run of pelnore.exe without arguments, driven
// from this process through its window messages; the registry is read back
// afterwards, and the verbs it wrote are run as the shell runs them. The keys of
// every file type are saved before each test and put back exactly afterwards.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "../../assoc/assocdlg.h"
#include "../../assoc/settings.h"
#include "../../res/resource.h"
#include "../support/testsupport.h"
#include "regtools.h"

#include <shellapi.h>  // after windows.h, which compat.h brings

using testsupport::WindowRect;

namespace {

const char kDefaultMenu[] = "リソースを抜き出す";

std::string ClassOf(const FileTypeRow& type) {
    char cls[CLASS_NAME_CAPACITY];
    ResolveVerbClass(&kSystemVerbRoots, type.name, cls);
    return cls;
}

const FileTypeRow& RowOf(int typeId) {
    for (const FileTypeRow& type : FileTypeTable)
        if (type.typeId == typeId) return type;
    return FileTypeTable[0];
}

// The verb's class key as Windows' merged classes view finds it: the user's
// own classes first, then the machine's. Wine merges neither for the look-up.
HKEY OpenVerbClassKey(const FileTypeRow& type) {
    static char menu[MENU_TEXT_CAPACITY], command[COMMAND_LINE_CAPACITY], cls[CLASS_NAME_CAPACITY];
    HKEY key = nullptr;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        VerbRoots view = kSystemVerbRoots;
        if (key || RegOpenKeyExA(root, "Software\\Classes", 0, KEY_READ, &view.view)) continue;
        ResolveVerbClass(&view, type.name, cls);
        if (ReadVerb(&view, type.name, menu, command))
            RegOpenKeyExA(view.view, cls, 0, KEY_READ, &key);
        RegCloseKey(view.view);
    }
    return key;
}

// Runs the verb "pelnore" on target through its class key, as Explorer would
// after a right-click, and waits for the program; its exit code.
DWORD RunVerb(int typeId, const std::string& target) {
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_CLASSKEY | SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = "pelnore";
    info.lpFile = target.c_str();
    info.hkeyClass = OpenVerbClassKey(RowOf(typeId));
    DWORD code = 0xDEAD;
    if (info.hkeyClass && ShellExecuteExA(&info) && info.hProcess) {
        if (WaitForSingleObject(info.hProcess, 120000) == WAIT_OBJECT_0)
            GetExitCodeProcess(info.hProcess, &code);
        CloseHandle(info.hProcess);
    }
    if (info.hkeyClass) RegCloseKey(info.hkeyClass);
    return code;
}

std::string ItemText(HWND dialog, int id) {
    char text[2048] = "";
    SendMessageA(GetDlgItem(dialog, id), WM_GETTEXT, sizeof(text), (LPARAM)text);
    return text;
}

bool Checked(HWND dialog, int id) {
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

RECT ItemRect(HWND dialog, int id) {
    RECT r = {};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    return r;
}

void Click(HWND dialog, int id) {
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void SetText(HWND dialog, int id, const std::string& text) {
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, (LPARAM)text.c_str());
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

// A hidden copy of the program's dialog 120, made in this process from
// pelnore.exe's own template: the dialog manager does not map dialog units for
// a window of another process, and this copy has the same font and base units.
HWND CreateTemplateCopy(HMODULE* module) {
    *module = LoadLibraryExA(testsupport::PelnoreExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!*module) return nullptr;
    return CreateDialogParamA(*module, MAKEINTRESOURCEA(IDD_ASSOCIATION), nullptr, PlainDialogProc,
                              0);
}

// Pixels of a vertical length in dialog units, as the dialog manager maps them.
int MapDialogY(int units) {
    HMODULE module;
    HWND copy = CreateTemplateCopy(&module);
    EXPECT_NE(nullptr, copy);
    RECT r = {0, 0, 0, units};
    EXPECT_TRUE(MapDialogRect(copy, &r));
    if (copy) DestroyWindow(copy);
    if (module) FreeLibrary(module);
    return r.bottom;
}

// The pixel distance between the bottoms of two controls given in dialog units
// (top and height): the dialog manager maps a control's top and height apart.
int MapBottomDistance(int top1, int height1, int top2, int height2) {
    return MapDialogY(top2) + MapDialogY(height2) - MapDialogY(top1) - MapDialogY(height1);
}

// The groups' first ids, in FileTypeTable order.
const int kGroupBases[] = {IDC_FOLDER_BASE, IDC_FOLDER_BACKGROUND_BASE,
                           IDC_EXE_BASE,    IDC_DLL_BASE,
                           IDC_OCX_BASE,    IDC_CPL_BASE,
                           IDC_SCR_BASE,    IDC_ICL_BASE,
                           IDC_MUN_BASE};
const int kExeDetailIds[] = {1102, 1122, 1103, 1123, 1104, 1124, 1101};
const int kDllDetailIds[] = {1202, 1222, 1203, 1223, 1204, 1224, 1201};
const int kDllGroupIds[] = {1200, 1206, 1202, 1222, 1203, 1223, 1204, 1224, 1201};

class AssocDialog : public ::testing::Test {
protected:
    void SetUp() override {
        // Windows has the folder classes and the extension keys, a fresh Wine
        // prefix few of them: make them as Windows has them, .exe naming its class.
        for (const char* folderClass : {"Directory", "Directory\\Background"})
            Make(folderClass, "");
        for (const FileTypeRow& type : FileTypeTable)
            if (type.name[0] == '.')
                Make(type.name, type.typeId == FILE_TYPE_EXE && regtools::KeyExists("exefile")
                                    ? "exefile"
                                    : "");
        for (const FileTypeRow& type : FileTypeTable) {
            Keep(ClassOf(type) + "\\shell");
            regtools::DeleteTree(ClassOf(type) + "\\shell\\pelnore");  // no verb anywhere
        }
        exeShell = ClassOf(RowOf(FILE_TYPE_EXE)) + "\\shell";
        dllShell = ClassOf(RowOf(FILE_TYPE_DLL)) + "\\shell";
    }

    void TearDown() override {
        if (process.hProcess) {
            if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0)
                TerminateProcess(process.hProcess, 255);
            WaitForSingleObject(process.hProcess, 5000);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        for (size_t i = saved.size(); i-- > 0;) regtools::Restore(saved[i].first, saved[i].second);
    }

    // Saves the tree to be put back after the test; whether it existed.
    bool Keep(const std::string& path) {
        saved.push_back({path, regtools::Save(path)});
        return saved.back().second.existed;
    }
    void Make(const std::string& path, const std::string& cls) {
        if (!Keep(path))
            cls.empty() ? regtools::CreateKey(path) : regtools::WriteDefault(path, cls);
    }

    // Starts the program and waits until its dialog is initialised and shown.
    HWND Start() {
        return Started(
            testsupport::StartProcess(testsupport::Quote(testsupport::PelnoreExe()), &process));
    }

    // The same for a copy of the program given by its wide path.
    HWND StartCopy(const std::wstring& exe) {
        return Started(testsupport::StartProcess(L"\"" + exe + L"\"", &process));
    }

    HWND Started(bool started) {
        return started ? testsupport::WaitForVisibleWindow(process.dwProcessId, "#32770", 30000)
                       : nullptr;
    }

    // Waits for the program to end after OK or Cancel; its exit code.
    DWORD WaitForExit() {
        DWORD code = 0xDEAD;
        if (WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &code);
        return code;
    }

    std::string Verb(const std::string& shell) { return shell + "\\pelnore"; }
    std::string Default(const std::string& path) {
        std::string text;
        EXPECT_TRUE(regtools::ReadDefault(path, &text)) << path;
        return text;
    }
    std::string DefaultCommand() { return "\"" + testsupport::PelnoreExe() + "\" \"%1\""; }

    std::string exeShell, dllShell;
    std::vector<std::pair<std::string, regtools::Snapshot>> saved;
    PROCESS_INFORMATION process = {};
};

TEST_F(AssocDialog, FreshStateShowsDefaultsAndCancelWritesNothing) {
    HWND dialog = Start();
    ASSERT_NE(nullptr, dialog);
    char caption[256] = "";
    GetWindowTextA(dialog, caption, sizeof(caption));
    EXPECT_STREQ("pelnore の関連づけ", caption);

    // Every row unticked and closed, with the defaults and the key OK would write.
    for (size_t i = 0; i < FILE_TYPE_COUNT; i++) {
        const FileTypeRow& type = FileTypeTable[i];
        EXPECT_FALSE(Checked(dialog, kGroupBases[i])) << type.name;
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, kGroupBases[i] + IDC_OFFSET_GROUP)));
        EXPECT_EQ("\"" + testsupport::PelnoreExe() + "\" \"" + type.argument + "\"",
                  ItemText(dialog, kGroupBases[i] + IDC_OFFSET_COMMAND));
        EXPECT_EQ("HKEY_CLASSES_ROOT\\" + ClassOf(type) + "\\shell\\pelnore",
                  ItemText(dialog, kGroupBases[i] + IDC_OFFSET_KEY));
    }
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_EXE_CHECK)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_EXE_DETAILS)));
    for (int id : kExeDetailIds) {
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, id))) << id;
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, id))) << id;
    }
    for (int id : kDllDetailIds) {
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, id))) << id;
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, id))) << id;
    }
    EXPECT_EQ("詳細 >>", ItemText(dialog, IDC_EXE_DETAILS));
    EXPECT_EQ("詳細 >>", ItemText(dialog, IDC_DLL_DETAILS));
    EXPECT_EQ(kDefaultMenu, ItemText(dialog, IDC_EXE_MENU));
    EXPECT_EQ(kDefaultMenu, ItemText(dialog, IDC_DLL_MENU));
    EXPECT_EQ(DefaultCommand(), ItemText(dialog, IDC_EXE_COMMAND));
    EXPECT_EQ(DefaultCommand(), ItemText(dialog, IDC_DLL_COMMAND));
    // The read-only field names the key that OK would write.
    EXPECT_EQ("HKEY_CLASSES_ROOT\\" + Verb(exeShell), ItemText(dialog, IDC_EXE_KEY));
    EXPECT_EQ("HKEY_CLASSES_ROOT\\" + Verb(dllShell), ItemText(dialog, IDC_DLL_KEY));

    regtools::Snapshot exeBefore = regtools::Save(exeShell);
    regtools::Snapshot dllBefore = regtools::Save(dllShell);
    Click(dialog, IDC_EXE_CHECK);
    SetText(dialog, IDC_EXE_MENU, "取り消すメニュー");
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0u, WaitForExit());
    EXPECT_TRUE(regtools::SameTree(exeBefore, regtools::Save(exeShell)));
    EXPECT_TRUE(regtools::SameTree(dllBefore, regtools::Save(dllShell)));
}

// A copy kept in a folder whose name code page 932 cannot hold (Hangul) offers
// a command line naming it by its short path, and that command runs it.
TEST_F(AssocDialog, ACopyOutsideTheCodePageOffersItsShortPath) {
    std::wstring folder = testsupport::Widen(testsupport::ScratchDir("wide")) + L"\\\uD3F4\uB354";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    std::wstring copy = folder + L"\\pelnore.exe";
    ASSERT_TRUE(
        CopyFileW(testsupport::Widen(testsupport::PelnoreExe()).c_str(), copy.c_str(), FALSE));
    wchar_t shortPath[MAX_PATH] = L"";
    ASSERT_NE(0u, GetShortPathNameW(copy.c_str(), shortPath, MAX_PATH));
    char shortAnsi[MAX_PATH * 2] = "";
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, shortPath, -1, shortAnsi, sizeof(shortAnsi),
                        nullptr, &lossy);
    ASSERT_FALSE(lossy);

    HWND dialog = StartCopy(copy);
    ASSERT_NE(nullptr, dialog);
    std::string expected = std::string("\"") + shortAnsi + "\" \"%1\"";
    EXPECT_EQ(expected, ItemText(dialog, IDC_EXE_COMMAND));
    EXPECT_EQ(expected, ItemText(dialog, IDC_DLL_COMMAND));
    printf("copy in a Hangul folder: command line %s\n", ItemText(dialog, IDC_EXE_COMMAND).c_str());
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0u, WaitForExit());

    // What Explorer would run for a file: the copy starts and ends normally.
    std::string command = expected.substr(0, expected.size() - 4) + "\"" +
                          testsupport::ScratchDir("wide-none") + "\\none.dll\"";
    testsupport::RunResult run = testsupport::RunAndWait(command, 60000);
    EXPECT_TRUE(run.started) << command;
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
}

TEST_F(AssocDialog, TickingExeAndEditingThenOkWritesTheVerb) {
    HWND dialog = Start();
    ASSERT_NE(nullptr, dialog);
    regtools::Snapshot dllBefore = regtools::Save(dllShell);
    Click(dialog, IDC_EXE_CHECK);
    EXPECT_TRUE(Checked(dialog, IDC_EXE_CHECK));
    for (int id : kExeDetailIds) EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, id))) << id;
    for (int id : kDllDetailIds) EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, id))) << id;
    // Unticking disables again; ticking once more enables.
    Click(dialog, IDC_EXE_CHECK);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_EXE_MENU)));
    Click(dialog, IDC_EXE_CHECK);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_EXE_MENU)));

    SetText(dialog, IDC_EXE_MENU, "アイコンを取り出す");
    SetText(dialog, IDC_EXE_COMMAND, "\"C:\\ツール\\p.exe\" /wav:0 \"%1\"");
    // Texts of the unticked type are not written.
    SetText(dialog, IDC_DLL_MENU, "書かれないメニュー");
    Click(dialog, IDOK);
    EXPECT_EQ(0u, WaitForExit());

    EXPECT_EQ("アイコンを取り出す", Default(Verb(exeShell)));
    EXPECT_EQ("\"C:\\ツール\\p.exe\" /wav:0 \"%1\"", Default(Verb(exeShell) + "\\command"));
    EXPECT_EQ(std::string("Player", 7), regtools::SelectionModel(Verb(exeShell)));
    EXPECT_TRUE(regtools::SameTree(dllBefore, regtools::Save(dllShell)));
}

TEST_F(AssocDialog, RegisteredTypeLoadsAndUnchangedOkWritesNothing) {
    ASSERT_TRUE(regtools::WriteDefault(Verb(exeShell), "登録済みメニュー"));
    ASSERT_TRUE(regtools::WriteDefault(Verb(exeShell) + "\\command", "reg command"));
    HWND dialog = Start();
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(Checked(dialog, IDC_EXE_CHECK));
    EXPECT_FALSE(Checked(dialog, IDC_DLL_CHECK));
    EXPECT_EQ("登録済みメニュー", ItemText(dialog, IDC_EXE_MENU));
    EXPECT_EQ("reg command", ItemText(dialog, IDC_EXE_COMMAND));
    EXPECT_EQ(kDefaultMenu, ItemText(dialog, IDC_DLL_MENU));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_EXE_COMMAND)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_DLL_COMMAND)));

    // Changed behind the dialog's back: an unchanged OK must not overwrite it.
    ASSERT_TRUE(regtools::WriteDefault(Verb(exeShell) + "\\command", "changed outside"));
    regtools::Snapshot exeBefore = regtools::Save(exeShell);
    regtools::Snapshot dllBefore = regtools::Save(dllShell);
    Click(dialog, IDOK);
    EXPECT_EQ(0u, WaitForExit());
    EXPECT_TRUE(regtools::SameTree(exeBefore, regtools::Save(exeShell)));
    EXPECT_TRUE(regtools::SameTree(dllBefore, regtools::Save(dllShell)));
}

TEST_F(AssocDialog, TypedCommandLineIsStoredCutAt1024) {
    HWND dialog = Start();
    ASSERT_NE(nullptr, dialog);
    Click(dialog, IDC_DLL_CHECK);
    SetText(dialog, IDC_DLL_COMMAND, std::string(1100, 'x'));
    Click(dialog, IDOK);
    EXPECT_EQ(0u, WaitForExit());
    EXPECT_EQ(std::string(1024, 'x'), Default(Verb(dllShell) + "\\command"));
    EXPECT_EQ(kDefaultMenu, Default(Verb(dllShell)));
}

TEST_F(AssocDialog, UntickingARegisteredTypeDeletesItsVerb) {
    ASSERT_TRUE(regtools::WriteDefault(Verb(dllShell), "m"));
    ASSERT_TRUE(regtools::WriteDefault(Verb(dllShell) + "\\command", "c"));
    HWND dialog = Start();
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(Checked(dialog, IDC_DLL_CHECK));
    Click(dialog, IDC_DLL_CHECK);
    Click(dialog, IDOK);
    EXPECT_EQ(0u, WaitForExit());
    EXPECT_FALSE(regtools::KeyExists(Verb(dllShell)));
    EXPECT_TRUE(regtools::KeyExists(dllShell));
}

// The verbs as the dialog writes them, run as the shell runs them: on a folder
// and in its empty space, on an extension without a class of its own (.icl)
// and on one with a class (.cpl). Each gives the files that the same argument
// given to pelnore directly gives. Unticking one row leaves the others.
TEST_F(AssocDialog, VerbsWrittenByTheDialogRunAsTheirArgumentsWould) {
    std::string root = testsupport::ScratchDir("verbs");
    testsupport::Bytes module;
    ASSERT_TRUE(
        testsupport::ReadFileBytes(testsupport::TestDir() + "\\fixtures\\fixture.dll", &module));
    for (std::string top : {"\\direct", "\\folder", "\\background", "\\files"}) {
        for (std::string dir : {top, top + "\\game", top + "\\game\\sub"})
            ASSERT_TRUE(CreateDirectoryA((root + dir).c_str(), nullptr));
        for (std::string name : {"\\game\\sub\\a.dll", "\\lib.icl", "\\panel.cpl"})
            ASSERT_TRUE(
                testsupport::WriteFileBytes(root + top + name, module.data(), module.size()));
    }
    const int ticked[] = {IDC_FOLDER_BASE, IDC_FOLDER_BACKGROUND_BASE, IDC_ICL_BASE, IDC_CPL_BASE};
    HWND dialog = Start();
    ASSERT_NE(nullptr, dialog);
    for (int base : ticked) Click(dialog, base);
    for (int base : ticked) printf("ticked: %s\n", ItemText(dialog, base + IDC_OFFSET_KEY).c_str());
    Click(dialog, IDOK);
    ASSERT_EQ(0u, WaitForExit());

    std::string direct = root + "\\direct";
    ASSERT_TRUE(testsupport::RunPelnore(testsupport::Quote(direct + "\\game") + " \"" + direct +
                                            "\\lib.icl\" \"" + direct + "\\panel.cpl\"",
                                        120000)
                    .finished);
    EXPECT_EQ(0u, RunVerb(FILE_TYPE_FOLDER, root + "\\folder\\game"));
    EXPECT_EQ(0u, RunVerb(FILE_TYPE_FOLDER_BACKGROUND, root + "\\background\\game"));
    EXPECT_EQ(0u, RunVerb(FILE_TYPE_ICL, root + "\\files\\lib.icl"));
    EXPECT_EQ(0u, RunVerb(FILE_TYPE_CPL, root + "\\files\\panel.cpl"));
    for (std::string output :
         {"folder\\game\\sub\\a", "background\\game\\sub\\a", "files\\lib", "files\\panel"}) {
        auto expected = testsupport::FolderContents(direct + output.substr(output.find('\\')));
        EXPECT_EQ(expected, testsupport::FolderContents(root + "\\" + output)) << output;
        printf("%s: %zu files\n", output.c_str(), expected.size());
        EXPECT_FALSE(expected.empty());
    }
    EXPECT_FALSE(testsupport::FileExists(root + "\\folder\\lib"));  // the folder's walk only

    dialog = Start();  // the verbs load as registered: OK keeps all but .icl's
    ASSERT_NE(nullptr, dialog);
    Click(dialog, IDC_ICL_BASE);
    Click(dialog, IDOK);
    ASSERT_EQ(0u, WaitForExit());
    for (int typeId :
         {FILE_TYPE_ICL, FILE_TYPE_FOLDER, FILE_TYPE_FOLDER_BACKGROUND, FILE_TYPE_CPL}) {
        HKEY key = OpenVerbClassKey(RowOf(typeId));
        EXPECT_EQ(typeId != FILE_TYPE_ICL, key != nullptr) << typeId;
        if (key) RegCloseKey(key);
    }
}

TEST_F(AssocDialog, DetailsMoveWhatLiesBelowAndSetTheTrackLimits) {
    HWND dialog = Start();
    ASSERT_NE(nullptr, dialog);
    // Details button bottom to group box bottom, in the template's dialog units.
    // The details button's bottom to its group box's bottom: 74 and 72 units.
    int exeDelta = MapBottomDistance(217, 14, 235, 70);
    int dllDelta = MapBottomDistance(313, 14, 331, 70);
    EXPECT_NEAR(MapDialogY(74), exeDelta, 1);
    EXPECT_NEAR(MapDialogY(74), dllDelta, 1);
    ASSERT_GT(exeDelta, 0);

    RECT window0 = WindowRect(dialog);
    RECT dll0[9];
    for (int i = 0; i < 9; i++) dll0[i] = ItemRect(dialog, kDllGroupIds[i]);
    RECT ok0 = ItemRect(dialog, IDOK), cancel0 = ItemRect(dialog, IDCANCEL);
    RECT exeCheck0 = ItemRect(dialog, IDC_EXE_CHECK);
    LONG width0 = window0.right - window0.left, height0 = window0.bottom - window0.top;

    MINMAXINFO limits = {};
    SendMessageA(dialog, WM_GETMINMAXINFO, 0, (LPARAM)&limits);
    EXPECT_EQ(width0, limits.ptMinTrackSize.x);
    EXPECT_EQ(width0, limits.ptMaxTrackSize.x);
    EXPECT_EQ(height0, limits.ptMinTrackSize.y);
    EXPECT_EQ(height0, limits.ptMaxTrackSize.y);

    Click(dialog, IDC_EXE_DETAILS);
    EXPECT_EQ("<< 詳細", ItemText(dialog, IDC_EXE_DETAILS));
    for (int id : kExeDetailIds) EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, id))) << id;
    RECT window1 = WindowRect(dialog);
    EXPECT_EQ(height0 + exeDelta, window1.bottom - window1.top);
    EXPECT_EQ(2 * width0, window1.right - window1.left);
    LONG dx = (window1.right - window1.left) - width0;
    for (int i = 0; i < 9; i++) {
        RECT r = ItemRect(dialog, kDllGroupIds[i]);
        EXPECT_EQ(dll0[i].top + exeDelta, r.top) << kDllGroupIds[i];
        EXPECT_EQ(dll0[i].bottom + exeDelta, r.bottom) << kDllGroupIds[i];
    }
    // The width layout: buttons keep their distance from the right edge, the
    // group boxes and edits grow, what lies on the left stays.
    RECT ok1 = ItemRect(dialog, IDOK);
    EXPECT_EQ(ok0.top + exeDelta, ok1.top);
    EXPECT_EQ(ok0.left + dx, ok1.left);
    EXPECT_EQ(ok0.right - ok0.left, ok1.right - ok1.left);
    EXPECT_EQ(cancel0.top + exeDelta, ItemRect(dialog, IDCANCEL).top);
    RECT dllGroup1 = ItemRect(dialog, IDC_DLL_GROUP);
    EXPECT_EQ(dll0[8].right - dll0[8].left + dx, dllGroup1.right - dllGroup1.left);
    RECT exeCheck1 = ItemRect(dialog, IDC_EXE_CHECK);
    EXPECT_EQ(exeCheck0.left, exeCheck1.left);
    EXPECT_EQ(exeCheck0.top, exeCheck1.top);

    limits = MINMAXINFO();
    limits.ptMaxTrackSize.x = 12345;
    SendMessageA(dialog, WM_GETMINMAXINFO, 0, (LPARAM)&limits);
    EXPECT_EQ(2 * width0, limits.ptMinTrackSize.x);
    EXPECT_EQ(12345, limits.ptMaxTrackSize.x);  // the system's value is left
    EXPECT_EQ(height0 + exeDelta, limits.ptMinTrackSize.y);
    EXPECT_EQ(height0 + exeDelta, limits.ptMaxTrackSize.y);

    // Widened by the user while the details are open: only the width follows.
    SetWindowPos(dialog, nullptr, 0, 0, 2 * width0 + 40, height0 + exeDelta + 40,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT wide = WindowRect(dialog);
    EXPECT_EQ(2 * width0 + 40, wide.right - wide.left);
    EXPECT_EQ(height0 + exeDelta, wide.bottom - wide.top);
    EXPECT_EQ(ok1.left + 40, ItemRect(dialog, IDOK).left);
    RECT dllGroupWide = ItemRect(dialog, IDC_DLL_GROUP);
    EXPECT_EQ(dllGroup1.right - dllGroup1.left + 40, dllGroupWide.right - dllGroupWide.left);

    Click(dialog, IDC_EXE_DETAILS);
    EXPECT_EQ("詳細 >>", ItemText(dialog, IDC_EXE_DETAILS));
    RECT window2 = WindowRect(dialog);
    EXPECT_EQ(width0, window2.right - window2.left);
    EXPECT_EQ(height0, window2.bottom - window2.top);
    for (int i = 0; i < 9; i++) {
        RECT r = ItemRect(dialog, kDllGroupIds[i]);
        EXPECT_EQ(dll0[i].top, r.top) << kDllGroupIds[i];
        EXPECT_EQ(dll0[i].left, r.left) << kDllGroupIds[i];
        EXPECT_EQ(dll0[i].right, r.right) << kDllGroupIds[i];
    }
    EXPECT_EQ(ok0.top, ItemRect(dialog, IDOK).top);
    EXPECT_EQ(ok0.left, ItemRect(dialog, IDOK).left);

    // The .dll details move what lies below it, never the .exe group.
    Click(dialog, IDC_DLL_DETAILS);
    for (int id : kDllDetailIds) EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, id))) << id;
    RECT window3 = WindowRect(dialog);
    EXPECT_EQ(height0 + dllDelta, window3.bottom - window3.top);
    EXPECT_EQ(dll0[0].top, ItemRect(dialog, IDC_DLL_CHECK).top);
    EXPECT_EQ(ok0.top + dllDelta, ItemRect(dialog, IDOK).top);
    EXPECT_EQ(cancel0.top + dllDelta, ItemRect(dialog, IDCANCEL).top);
    EXPECT_EQ(exeCheck0.top, ItemRect(dialog, IDC_EXE_CHECK).top);
    Click(dialog, IDC_DLL_DETAILS);
    RECT window4 = WindowRect(dialog);
    EXPECT_EQ(height0, window4.bottom - window4.top);
    EXPECT_EQ(width0, window4.right - window4.left);
    EXPECT_EQ(ok0.top, ItemRect(dialog, IDOK).top);

    // With every detail area closed the size is fixed.
    SetWindowPos(dialog, nullptr, 0, 0, width0 + 60, height0 + 60,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT window5 = WindowRect(dialog);
    EXPECT_EQ(width0, window5.right - window5.left);
    EXPECT_EQ(height0, window5.bottom - window5.top);

    // Every area open is taller than this 1280 x 1024 screen: the window takes
    // the work area's height and scrolls, to OK at the end; closed, it is as before.
    RECT area;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    for (int base : kGroupBases) Click(dialog, base + IDC_OFFSET_DETAILS);
    EXPECT_EQ(area.bottom - area.top, WindowRect(dialog).bottom - WindowRect(dialog).top);
    EXPECT_TRUE(GetWindowLongA(dialog, GWL_STYLE) & WS_VSCROLL);
    SendMessageA(dialog, WM_VSCROLL, SB_BOTTOM, 0);
    RECT client;
    GetClientRect(dialog, &client);
    MapWindowPoints(dialog, nullptr, (POINT*)&client, 2);
    EXPECT_EQ(client.bottom - MapDialogY(5), ItemRect(dialog, IDCANCEL).bottom);
    for (int base : kGroupBases) Click(dialog, base + IDC_OFFSET_DETAILS);
    EXPECT_EQ(height0, WindowRect(dialog).bottom - WindowRect(dialog).top);
    EXPECT_FALSE(GetWindowLongA(dialog, GWL_STYLE) & WS_VSCROLL);
    EXPECT_EQ(ok0.top - window0.top, ItemRect(dialog, IDOK).top - WindowRect(dialog).top);

    Click(dialog, IDCANCEL);
    EXPECT_EQ(0u, WaitForExit());
}

TEST_F(AssocDialog, HitTestDragsByTheClientAreaAndPinsTheHeight) {
    HWND dialog = Start();
    ASSERT_NE(nullptr, dialog);
    RECT w = WindowRect(dialog);
    RECT client;
    GetClientRect(dialog, &client);
    POINT inside = {client.right / 2, client.bottom - 2};
    ClientToScreen(dialog, &inside);
    auto hit = [&](LONG x, LONG y) {
        return SendMessageA(dialog, WM_NCHITTEST, 0, MAKELPARAM((short)x, (short)y));
    };
    EXPECT_EQ(HTCAPTION, hit(inside.x, inside.y));
    EXPECT_EQ(HTBORDER, hit((w.left + w.right) / 2, w.top));
    EXPECT_EQ(HTBORDER, hit((w.left + w.right) / 2, w.bottom - 1));
    EXPECT_EQ(HTLEFT, hit(w.left, w.top));
    EXPECT_EQ(HTRIGHT, hit(w.right - 1, w.top));
    EXPECT_EQ(HTLEFT, hit(w.left, w.bottom - 1));
    EXPECT_EQ(HTRIGHT, hit(w.right - 1, w.bottom - 1));
    EXPECT_EQ(HTLEFT, hit(w.left, (w.top + w.bottom) / 2));
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0u, WaitForExit());
}

TEST_F(AssocDialog, RestoreBringsBackTheOpeningState) {
    ASSERT_TRUE(regtools::WriteDefault(Verb(exeShell), "元のメニュー"));
    ASSERT_TRUE(regtools::WriteDefault(Verb(exeShell) + "\\command", "元のコマンド"));
    HWND dialog = Start();
    ASSERT_NE(nullptr, dialog);
    Click(dialog, IDC_EXE_DETAILS);
    Click(dialog, IDC_EXE_CHECK);  // off
    Click(dialog, IDC_DLL_CHECK);  // on
    SetText(dialog, IDC_EXE_MENU, "変えたメニュー");
    SetText(dialog, IDC_DLL_COMMAND, "changed");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_EXE_MENU)));

    // Sent, not posted: once it returns the command has been carried out in full.
    DWORD_PTR ignored;
    ASSERT_TRUE(SendMessageTimeoutA(dialog, WM_SYSCOMMAND, IDM_RESTORE_SETTINGS, 0, SMTO_BLOCK,
                                    30000, &ignored));
    EXPECT_TRUE(Checked(dialog, IDC_EXE_CHECK));
    EXPECT_FALSE(Checked(dialog, IDC_DLL_CHECK));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_EXE_MENU)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_DLL_COMMAND)));
    EXPECT_EQ("元のメニュー", ItemText(dialog, IDC_EXE_MENU));
    EXPECT_EQ("元のコマンド", ItemText(dialog, IDC_EXE_COMMAND));
    EXPECT_EQ(DefaultCommand(), ItemText(dialog, IDC_DLL_COMMAND));
    // The detail areas stay as they were.
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IDC_EXE_MENU)));
    EXPECT_EQ("<< 詳細", ItemText(dialog, IDC_EXE_DETAILS));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_DLL_MENU)));

    // Restoring writes nothing; after it, OK finds nothing to change.
    regtools::Snapshot exeBefore = regtools::Save(exeShell);
    Click(dialog, IDOK);
    EXPECT_EQ(0u, WaitForExit());
    EXPECT_TRUE(regtools::SameTree(exeBefore, regtools::Save(exeShell)));
}

BOOL CALLBACK FindChildWithText(HWND child, LPARAM lParam) {
    std::pair<std::string, bool>* search = (std::pair<std::string, bool>*)lParam;
    char text[512] = "";
    SendMessageA(child, WM_GETTEXT, sizeof(text), (LPARAM)text);
    if (search->first == text) search->second = true;
    return TRUE;
}

// The About command opens the About box owned by the dialog with the support
// address as its link; closing it returns to the dialog.
TEST_F(AssocDialog, AboutCommandOpensTheAboutBoxOwnedByTheDialog) {
    HWND dialog = Start();
    ASSERT_NE(nullptr, dialog);
    PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUT, 0);
    HWND about = nullptr;
    testsupport::WaitUntil(
        [&] {
            for (HWND d : testsupport::ProcessWindows(process.dwProcessId, "#32770"))
                if (d != dialog && IsWindowVisible(d)) about = d;
            return about != nullptr;
        },
        10000);
    ASSERT_NE(nullptr, about);
    EXPECT_EQ(dialog, GetWindow(about, GW_OWNER));
    std::pair<std::string, bool> link("https://pelnore.example.jp/support/", false);
    EnumChildWindows(about, FindChildWithText, (LPARAM)&link);
    EXPECT_TRUE(link.second);

    PostMessageA(about, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return !IsWindow(about); }, 10000));
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(IsWindowEnabled(dialog));
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0u, WaitForExit());
}

TEST_F(AssocDialog, SecondStartWhileOpenEndsQuietly) {
    HWND dialog = Start();
    ASSERT_NE(nullptr, dialog);
    testsupport::RunResult second =
        testsupport::RunAndWait(testsupport::Quote(testsupport::PelnoreExe()), 20000);
    EXPECT_TRUE(second.started);
    EXPECT_TRUE(second.finished);
    EXPECT_EQ(0u, second.exitCode);
    EXPECT_TRUE(IsWindow(dialog));
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0u, WaitForExit());
}

// A menu handle belongs to its process, so the system menu is checked on the
// dialog procedure run here, over the template copied from pelnore.exe.
class AssocDialogInProcess : public AssocDialog {
protected:
    void TearDown() override {
        if (dialog) DestroyWindow(dialog);
        if (module) FreeLibrary(module);
        AssocDialog::TearDown();
    }
    HWND Create() {
        module =
            LoadLibraryExA(testsupport::PelnoreExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!module) return nullptr;
        dialog = CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_ASSOCIATION), nullptr,
                                    AssociationDialogProc, 0);
        return dialog;
    }
    HMODULE module = nullptr;
    HWND dialog = nullptr;
};

TEST_F(AssocDialogInProcess, SystemMenuHoldsRestoreAndAboutAfterMaximize) {
    ASSERT_NE(nullptr, Create());
    HMENU menu = GetSystemMenu(dialog, FALSE);
    ASSERT_NE(nullptr, menu);
    int count = GetMenuItemCount(menu);
    int maximize = -1;
    for (int i = 0; i < count && maximize < 0; i++)
        if (GetMenuItemID(menu, i) == SC_MAXIMIZE) maximize = i;
    ASSERT_GE(maximize, 0);
    ASSERT_GE(count, maximize + 4);
    MENUITEMINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE;
    ASSERT_TRUE(GetMenuItemInfoA(menu, maximize + 1, TRUE, &info));
    EXPECT_TRUE(info.fType & MFT_SEPARATOR);
    EXPECT_EQ((UINT)IDM_RESTORE_SETTINGS, GetMenuItemID(menu, maximize + 2));
    EXPECT_EQ((UINT)IDM_ABOUT, GetMenuItemID(menu, maximize + 3));
    char text[128] = "";
    GetMenuStringA(menu, maximize + 2, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ("設定を初期値に戻す(&D)", text);
    GetMenuStringA(menu, maximize + 3, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ("About(&A)", text);
    // Whatever followed the maximize item in an untouched system menu of the
    // same styles now follows the new items.
    HWND plain = CreateWindowA("STATIC", "", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, 0,
                               0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, plain);
    HMENU plainMenu = GetSystemMenu(plain, FALSE);
    int plainCount = GetMenuItemCount(plainMenu);
    EXPECT_EQ(plainCount + 3, count);
    for (int i = maximize + 1; i < plainCount; i++)
        EXPECT_EQ(GetMenuItemID(plainMenu, i), GetMenuItemID(menu, i + 3)) << i;
    DestroyWindow(plain);
}

// Before initialisation the kept sizes mean nothing: the system's limits stay.
TEST_F(AssocDialogInProcess, MinMaxInfoBeforeInitialisationKeepsTheSystemValues) {
    MINMAXINFO limits = {};
    limits.ptMinTrackSize = {11, 22};
    limits.ptMaxTrackSize = {3333, 4444};
    HWND plain =
        CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, plain);
    EXPECT_FALSE(AssociationDialogProc(plain, WM_GETMINMAXINFO, 0, (LPARAM)&limits));
    DestroyWindow(plain);
    EXPECT_EQ(11, limits.ptMinTrackSize.x);
    EXPECT_EQ(22, limits.ptMinTrackSize.y);
    EXPECT_EQ(3333, limits.ptMaxTrackSize.x);
    EXPECT_EQ(4444, limits.ptMaxTrackSize.y);

    // Once initialised, the height is pinned and, with the details closed, the width.
    ASSERT_NE(nullptr, Create());
    RECT w;
    GetWindowRect(dialog, &w);
    limits.ptMaxTrackSize = {3333, 4444};
    EXPECT_TRUE(AssociationDialogProc(dialog, WM_GETMINMAXINFO, 0, (LPARAM)&limits));
    EXPECT_EQ(w.right - w.left, limits.ptMinTrackSize.x);
    EXPECT_EQ(w.right - w.left, limits.ptMaxTrackSize.x);
    EXPECT_EQ(w.bottom - w.top, limits.ptMinTrackSize.y);
    EXPECT_EQ(w.bottom - w.top, limits.ptMaxTrackSize.y);
}

// Closes every message box that the dialog's thread shows with the dialog as
// owner, keeping the texts of its controls, until stopped.
class MessageBoxCloser {
public:
    MessageBoxCloser(HWND owner) : owner_(owner), thread_(GetCurrentThreadId()) {
        worker_ = std::thread([this] { Run(); });
    }
    ~MessageBoxCloser() {
        stop_ = true;
        worker_.join();
    }
    int boxes() const { return boxes_; }
    std::vector<std::string> texts;

private:
    static BOOL CALLBACK FindBox(HWND window, LPARAM lParam) {
        MessageBoxCloser* self = (MessageBoxCloser*)lParam;
        char cls[32] = "";
        GetClassNameA(window, cls, sizeof(cls));
        if (std::string(cls) == "#32770" && GetWindow(window, GW_OWNER) == self->owner_ &&
            IsWindowVisible(window))
            self->box_ = window;
        return TRUE;
    }
    static BOOL CALLBACK KeepText(HWND child, LPARAM lParam) {
        char text[1024] = "";
        SendMessageA(child, WM_GETTEXT, sizeof(text), (LPARAM)text);
        ((MessageBoxCloser*)lParam)->texts.push_back(text);
        return TRUE;
    }
    void Run() {
        while (!stop_) {
            box_ = nullptr;
            EnumThreadWindows(thread_, FindBox, (LPARAM)this);
            if (box_) {
                EnumChildWindows(box_, KeepText, (LPARAM)this);
                boxes_++;
                PostMessageA(box_, WM_COMMAND, IDOK, 0);
                while (IsWindow(box_) && !stop_) Sleep(10);
            }
            Sleep(20);
        }
    }
    HWND owner_;
    DWORD thread_;
    HWND box_ = nullptr;
    std::atomic<bool> stop_{false};
    std::atomic<int> boxes_{0};
    std::thread worker_;
};

// The real dialog procedure over a registry that refuses what Windows refuses
// a process without elevation; the user's classes key is a throwaway one.
class AssocDialogRefused : public AssocDialogInProcess {
protected:
    void SetUp() override {
        AssocDialogInProcess::SetUp();
        regtools::DeleteUserTree(regtools::kTestUserRoot);
    }
    void TearDown() override {
        UseVerbRoots(nullptr);
        AssocDialogInProcess::TearDown();
        regtools::DeleteUserTree(regtools::kTestUserRoot);
    }
    VerbRoots userOnly = {HKEY_CLASSES_ROOT,
                          {HKEY_CLASSES_ROOT, "", "HKEY_CLASSES_ROOT", &regtools::kRefusingWriter},
                          regtools::kTestUserStore,
                          FileTypeTable,
                          FILE_TYPE_COUNT};
};

// Both stores refuse: the warning names what was not done and the way out,
// and the dialog stays open with the edits. The user's key then writable: OK
// writes the verb there and closes the dialog without a word.
TEST_F(AssocDialogRefused, NothingWritableSaysSoAndKeepsTheEdits) {
    VerbRoots nothing = userOnly;
    nothing.user.writer = &regtools::kRefusingWriter;
    UseVerbRoots(&nothing);
    ASSERT_NE(nullptr, Create());
    ShowWindow(dialog, SW_SHOWNA);
    std::string exeClass = ClassOf(RowOf(FILE_TYPE_EXE));
    std::string userVerb =
        std::string(regtools::kTestUserClasses) + "\\" + exeClass + "\\shell\\pelnore";
    EXPECT_EQ("HKEY_CURRENT_USER\\" + userVerb, ItemText(dialog, IDC_EXE_KEY));
    Click(dialog, IDC_EXE_CHECK);
    SetText(dialog, IDC_EXE_MENU, "拒まれるメニュー");
    regtools::Snapshot exeBefore = regtools::Save(exeShell);
    {
        MessageBoxCloser closer(dialog);
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(1, closer.boxes());
        const std::string said =
            "*.exe ファイルへの関連づけを登録できませんでした。\r\n\r\n"
            "pelnore を「管理者として実行」で起動してから、もう一度設定してください。";
        bool found = false;
        for (const std::string& text : closer.texts) found = found || text == said;
        EXPECT_TRUE(found);
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_TRUE(Checked(dialog, IDC_EXE_CHECK));
        EXPECT_EQ("拒まれるメニュー", ItemText(dialog, IDC_EXE_MENU));
        EXPECT_TRUE(regtools::SameTree(exeBefore, regtools::Save(exeShell)));
        EXPECT_FALSE(regtools::UserKeyExists(regtools::kTestUserClasses));

        UseVerbRoots(&userOnly);
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(1, closer.boxes());
    }
    EXPECT_FALSE(IsWindowVisible(dialog));
    std::string menu;
    EXPECT_TRUE(regtools::ReadUserDefault(userVerb, &menu));
    EXPECT_EQ("拒まれるメニュー", menu);
    EXPECT_TRUE(regtools::SameTree(exeBefore, regtools::Save(exeShell)));
}

}  // namespace
