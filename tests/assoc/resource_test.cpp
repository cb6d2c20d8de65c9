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

const DWORD HEADING = SS_LEFT | WS_GROUP | CV;

// The folder group's nine controls. Every group repeats them from its own base,
// each 96 units below the last, 10 more below each heading.
const Item kGroup[9] = {
    {1300, "button", "フォルダに関連づける", CHECK, 7, 17, 114, 10},
    {1306, "button", "<< 詳細", PUSH, 125, 15, 28, 14},
    {1301, "button", "", BS_GROUPBOX | CV, 7, 33, 146, 70},
    {1322, "static", "登録先", LABEL, 23, 49, 22, 8},
    {1302, "edit", "", KEY, 49, 45, 94, 14},
    {1323, "static", "メニュー", LABEL, 20, 67, 25, 8},
    {1303, "edit", "", EDIT, 49, 62, 94, 14},
    {1324, "static", "ｺﾏﾝﾄﾞﾗｲﾝ", LABEL, 15, 85, 30, 8},
    {1304, "edit", "", EDIT, 49, 81, 94, 14},
};

std::vector<Item> ExpectedItems() {
    static const char* const checks[] = {
        "フォルダに関連づける",       "フォルダの背景に関連づける", "*.exe ファイルに関連づける",
        "*.dll ファイルに関連づける", "*.ocx ファイルに関連づける", "*.cpl ファイルに関連づける",
        "*.scr ファイルに関連づける", "*.icl ファイルに関連づける", "*.mun ファイルに関連づける"};
    static const char* const headings[] = {"フォルダ", "プログラムとライブラリ",
                                           "その他のモジュール"};
    const int bases[] = {1300, 1400, 1100, 1200, 1500, 1600, 1700, 1800, 1900};
    std::vector<Item> items;
    for (int g = 0, shift = 0; g < 9; g++, shift += 96) {
        if (g == 0 || g == 2 || g == 4) {
            shift += g == 0 ? 0 : 10;
            items.push_back(
                {1010 + g / 2, "static", headings[g / 2], HEADING, 7, short(5 + shift), 146, 8});
        }
        for (Item item : kGroup) {
            item.id += bases[g] - 1300;
            item.y = short(item.y + shift);
            if (item.id == bases[g]) item.text = checks[g];
            items.push_back(item);
        }
    }
    items.push_back({1, "button", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP | CV, 53, 899, 50, 14});
    items.push_back({2, "button", "キャンセル", PUSH, 103, 899, 50, 14});
    return items;
}

class AssocResource : public ::testing::Test {
protected:
    void SetUp() override {
        module =
            LoadLibraryExA(testsupport::PelnoreExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
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
    EXPECT_EQ(1u, in.Word());  // extended template
    EXPECT_EQ(0xFFFFu, in.Word());
    EXPECT_EQ(0ul, in.Dword());  // help id
    EXPECT_EQ(0ul, in.Dword());  // extended style
    EXPECT_EQ(0x84CC0040ul, in.Dword());
    std::vector<Item> items = ExpectedItems();
    unsigned count = in.Word();
    EXPECT_EQ(items.size(), count);
    EXPECT_EQ(0, in.Short());
    EXPECT_EQ(0, in.Short());
    EXPECT_EQ(160, in.Short());
    EXPECT_EQ(918, in.Short());
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

    for (unsigned i = 0; i < count && i < items.size(); i++) {
        const Item& want = items[i];
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
