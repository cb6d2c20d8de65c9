// The association dialog's template and the manifest as the built pelnore.exe
// carries them, read from the file as a data module and parsed within the
// resource's real size.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "../../res/resource.h"
#include "../support/testsupport.h"

namespace {

struct Resource {
    const unsigned char* data = nullptr;
    DWORD size = 0;
};

Resource FindModuleResource(HMODULE module, LPCSTR type, int id) {
    Resource r;
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!info) return r;
    HGLOBAL block = LoadResource(module, info);
    if (!block) return r;
    r.data = (const unsigned char*)LockResource(block);
    r.size = SizeofResource(module, info);
    return r;
}

// A cursor over the template that fails instead of reading past its end.
struct Reader {
    const unsigned char* data;
    size_t size;
    size_t at = 0;
    bool ok = true;

    bool Need(size_t n) {
        if (!ok || at + n > size) ok = false;
        return ok;
    }
    unsigned Word() {
        if (!Need(2)) return 0;
        unsigned v = data[at] | (data[at + 1] << 8);
        at += 2;
        return v;
    }
    unsigned long Dword() {
        unsigned long lo = Word();
        return lo | ((unsigned long)Word() << 16);
    }
    short Short() { return (short)Word(); }
    void AlignDword() { at = (at + 3) & ~(size_t)3; }
    std::wstring WideString() {
        std::wstring s;
        for (;;) {
            unsigned c = Word();
            if (!ok || c == 0) return s;
            s.push_back((wchar_t)c);
        }
    }
    // A name, or "#<n>" for an ordinal.
    std::string NameOrOrdinal() {
        if (!Need(2)) return "";
        if (data[at] == 0xFF && data[at + 1] == 0xFF) {
            at += 2;
            return "#" + std::to_string(Word());
        }
        return Narrow(WideString());
    }
    static std::string Narrow(const std::wstring& w) {
        if (w.empty()) return "";
        char buffer[512];
        int n = WideCharToMultiByte(932, 0, w.c_str(), (int)w.size(), buffer, sizeof(buffer),
                                    nullptr, nullptr);
        return std::string(buffer, n > 0 ? n : 0);
    }
};

std::string ClassName(const std::string& raw) {
    if (raw == "#128") return "button";
    if (raw == "#129") return "edit";
    if (raw == "#130") return "static";
    std::string lower = raw;
    for (char& c : lower) c = (char)tolower((unsigned char)c);
    return lower;
}

struct Item {
    int id;
    const char* cls;
    const char* text;
    DWORD style;
    short x, y, cx, cy;
};

const DWORD CV = WS_CHILD | WS_VISIBLE;
const DWORD LABEL = SS_RIGHT | WS_GROUP | CV;
const DWORD KEY = WS_BORDER | ES_READONLY | ES_AUTOHSCROLL | CV;
const DWORD EDIT = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | CV;
const DWORD CHECK = BS_AUTOCHECKBOX | WS_TABSTOP | CV;
const DWORD PUSH = BS_PUSHBUTTON | WS_TABSTOP | CV;

const Item kItems[20] = {
    {1100, "button", "*.exe ファイルに関連づける", CHECK, 7, 9, 93, 10},
    {1106, "button", "<< 詳細", PUSH, 104, 7, 28, 14},
    {1101, "button", "", BS_GROUPBOX | CV, 7, 25, 125, 70},
    {1122, "static", "登録先", LABEL, 23, 41, 22, 8},
    {1102, "edit", "", KEY, 49, 37, 73, 14},
    {1123, "static", "メニュー", LABEL, 20, 59, 25, 8},
    {1103, "edit", "", EDIT, 49, 54, 73, 14},
    {1124, "static", "ｺﾏﾝﾄﾞﾗｲﾝ", LABEL, 15, 77, 30, 8},
    {1104, "edit", "", EDIT, 49, 73, 73, 14},
    {1200, "button", "*.dll ファイルに関連づける", CHECK, 7, 105, 92, 10},
    {1206, "button", "<< 詳細", PUSH, 104, 103, 28, 14},
    {1201, "button", "", BS_GROUPBOX | CV, 7, 119, 125, 70},
    {1222, "static", "登録先", LABEL, 23, 135, 22, 8},
    {1202, "edit", "", KEY, 49, 131, 73, 14},
    {1223, "static", "メニュー", LABEL, 20, 153, 25, 8},
    {1203, "edit", "", EDIT, 49, 148, 73, 14},
    {1224, "static", "ｺﾏﾝﾄﾞﾗｲﾝ", LABEL, 15, 171, 30, 8},
    {1204, "edit", "", EDIT, 49, 167, 73, 14},
    {1, "button", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP | CV, 32, 197, 50, 14},
    {2, "button", "キャンセル", PUSH, 82, 197, 50, 14},
};

class AssocResource : public ::testing::Test {
protected:
    void SetUp() override {
        module = LoadLibraryExA(testsupport::PelnoreExe().c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module);
    }
    void TearDown() override {
        if (module) FreeLibrary(module);
    }
    HMODULE module = nullptr;
};

TEST_F(AssocResource, DialogTemplateIsExact) {
    Resource r = FindModuleResource(module, RT_DIALOG, IDD_ASSOCIATION);
    ASSERT_NE(nullptr, r.data);
    Reader in = {r.data, r.size};
    EXPECT_EQ(1u, in.Word());       // extended template
    EXPECT_EQ(0xFFFFu, in.Word());
    EXPECT_EQ(0ul, in.Dword());     // help id
    EXPECT_EQ(0ul, in.Dword());     // extended style
    EXPECT_EQ(0x84CC0040ul, in.Dword());
    unsigned count = in.Word();
    EXPECT_EQ(20u, count);
    EXPECT_EQ(0, in.Short());
    EXPECT_EQ(0, in.Short());
    EXPECT_EQ(139, in.Short());
    EXPECT_EQ(216, in.Short());
    EXPECT_EQ("", in.NameOrOrdinal());  // menu
    EXPECT_EQ("", in.NameOrOrdinal());  // class
    EXPECT_EQ("pelnore の関連づけ", Reader::Narrow(in.WideString()));
    EXPECT_EQ(9u, in.Word());
    EXPECT_EQ(0u, in.Word());  // weight
    ASSERT_TRUE(in.Need(2));
    EXPECT_EQ(0, in.data[in.at]);      // italic
    EXPECT_EQ(0, in.data[in.at + 1]);  // character set
    in.at += 2;
    EXPECT_EQ("ＭＳ Ｐゴシック", Reader::Narrow(in.WideString()));
    ASSERT_TRUE(in.ok);

    for (unsigned i = 0; i < count && i < 20; i++) {
        const Item& want = kItems[i];
        SCOPED_TRACE("item " + std::to_string(i) + " id " + std::to_string(want.id));
        in.AlignDword();
        EXPECT_EQ(0ul, in.Dword());  // help id
        EXPECT_EQ(0ul, in.Dword());  // extended style
        EXPECT_EQ(want.style, in.Dword());
        EXPECT_EQ(want.x, in.Short());
        EXPECT_EQ(want.y, in.Short());
        EXPECT_EQ(want.cx, in.Short());
        EXPECT_EQ(want.cy, in.Short());
        EXPECT_EQ((unsigned long)want.id, in.Dword());
        EXPECT_EQ(want.cls, ClassName(in.NameOrOrdinal()));
        EXPECT_EQ(want.text, in.NameOrOrdinal());
        unsigned extra = in.Word();
        EXPECT_EQ(0u, extra);
        in.at += extra;
        ASSERT_TRUE(in.ok);
    }
}

TEST_F(AssocResource, ManifestRunsAsInvoker) {
    Resource r = FindModuleResource(module, MAKEINTRESOURCEA(24), 1);
    ASSERT_NE(nullptr, r.data);
    std::string text((const char*)r.data, r.size);
    EXPECT_NE(std::string::npos, text.find("requestedExecutionLevel level=\"asInvoker\""));
    EXPECT_NE(std::string::npos, text.find("uiAccess=\"false\""));
    EXPECT_NE(std::string::npos, text.find("urn:schemas-microsoft-com:asm.v3"));
}

}  // namespace
