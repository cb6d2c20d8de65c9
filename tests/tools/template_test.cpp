// The dialog template builder: the exact words of the images it writes (the
// progress dialog's among them), its bounds, and that the dialog manager
// accepts what it builds.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <vector>

#include "../../TOOLS/dlgtmpl.h"
#include "../../app/progress.h"
#include "../../util/compat.h"

namespace {

typedef std::vector<uint16_t> Words;

// The image as little-endian words, read byte by byte.
Words WordsOf(const void* block, size_t size) {
    const unsigned char* bytes = (const unsigned char*)block;
    Words words;
    for (size_t i = 0; i + 1 < size; i += 2) words.push_back((uint16_t)(bytes[i] | bytes[i + 1] << 8));
    return words;
}

// Builds, checks that the measuring pass agrees with the block, and returns the words.
Words Build(const DialogDescription& dialog, const DialogItemDescription* items) {
    size_t size = WriteDialogTemplate(&dialog, items, nullptr, 0);
    void* block = BuildDialogTemplate(&dialog, items);
    EXPECT_NE(block, nullptr);
    if (block == nullptr) return Words();
    EXPECT_EQ(size % 4, 0u);
    Words words = WordsOf(block, size);
    // Filling the same size again gives the same size and the same bytes.
    std::vector<unsigned char> again(size);
    EXPECT_EQ(WriteDialogTemplate(&dialog, items, again.data(), again.size()), size);
    EXPECT_EQ(memcmp(again.data(), block, size), 0);
    free(block);
    return words;
}

Words Concat(std::initializer_list<Words> parts) {
    Words all;
    for (const Words& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Words DialogHeader(uint32_t style, uint32_t exStyle, uint16_t count, int16_t x, int16_t y,
                   int16_t cx, int16_t cy) {
    return {(uint16_t)style, (uint16_t)(style >> 16), (uint16_t)exStyle, (uint16_t)(exStyle >> 16),
            count, (uint16_t)x, (uint16_t)y, (uint16_t)cx, (uint16_t)cy};
}

Words ItemHeader(uint32_t style, uint32_t exStyle, int16_t x, int16_t y, int16_t cx, int16_t cy,
                 uint16_t id) {
    return {(uint16_t)style, (uint16_t)(style >> 16), (uint16_t)exStyle, (uint16_t)(exStyle >> 16),
            (uint16_t)x, (uint16_t)y, (uint16_t)cx, (uint16_t)cy, id};
}

DialogDescription PlainDialog() {
    DialogDescription dialog = {};
    dialog.style = WS_POPUP;
    dialog.x = 3;
    dialog.y = -4;
    dialog.cx = 200;
    dialog.cy = 100;
    return dialog;
}

TEST(ProgressTemplate, IsTheSeventySixBytesWordByWord) {
    void* block = BuildProgressTemplate();
    ASSERT_NE(block, nullptr);
    Words expected = Concat({
        DialogHeader(0x80000040u, 0, 1, 0, 0, 1, 1),
        {0x0000},                  // no menu
        {0x0000},                  // default dialog class
        {0x0000},                  // empty caption
        {0x0009},                  // 9 points
        {0xFF2D, 0xFF33, 0x0020, 0xFF30, 0x30B4, 0x30B7, 0x30C3, 0x30AF, 0x0000},
        // 22 words so far: no alignment word.
        ItemHeader(0x40020001u, 0, 0, 0, 1, 1, 1),
        {0xFFFF, 0x0080},          // button class atom
        {0x004F, 0x004B, 0x0000},  // "OK"
        {0x0000},                  // no creation data
        {0x0000},                  // alignment after the 37th word
    });
    ASSERT_EQ(expected.size() * 2, 76u);
    EXPECT_EQ(WordsOf(block, 76), expected);
    free(block);
}

TEST(ProgressTemplate, DialogManagerBuildsAHiddenPopupWithItsButtonAndFont) {
    void* block = BuildProgressTemplate();
    ASSERT_NE(block, nullptr);
    HWND dialog = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), (LPCDLGTEMPLATEA)block,
                                             nullptr, nullptr, 0);
    free(block);
    ASSERT_NE(dialog, nullptr);
    LONG style = GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_VISIBLE | WS_CAPTION | WS_THICKFRAME));
    HWND button = GetDlgItem(dialog, IDOK);
    ASSERT_NE(button, nullptr);
    char text[16] = "";
    GetWindowTextA(button, text, sizeof(text));
    EXPECT_STREQ(text, "OK");
    char className[16] = "";
    GetClassNameA(button, className, sizeof(className));
    EXPECT_STREQ(className, "Button");
    LONG buttonStyle = GetWindowLongA(button, GWL_STYLE);
    EXPECT_TRUE(buttonStyle & WS_CHILD);
    EXPECT_EQ(buttonStyle & 0x0F, BS_DEFPUSHBUTTON);
    HFONT font = (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0);
    ASSERT_NE(font, nullptr);
    LOGFONTA logFont = {};
    ASSERT_NE(GetObjectA(font, sizeof(logFont), &logFont), 0);
    EXPECT_STREQ(logFont.lfFaceName, "ＭＳ Ｐゴシック");
    DestroyWindow(dialog);
}

TEST(TemplateBuilder, NoItemsGivesTheHeaderPartPaddedToFourBytes) {
    DialogDescription dialog = PlainDialog();
    // 12 words: even, no alignment word.
    EXPECT_EQ(Build(dialog, nullptr),
              Concat({DialogHeader(WS_POPUP, 0, 0, 3, -4, 200, 100), {0, 0, 0}}));
    // A one-unit caption makes 13 words: one zero word follows.
    static const Utf16Char caption[] = u"A";
    dialog.caption = caption;
    EXPECT_EQ(Build(dialog, nullptr),
              Concat({DialogHeader(WS_POPUP, 0, 0, 3, -4, 200, 100), {0, 0, 'A', 0}, {0}}));
}

TEST(TemplateBuilder, NullAndEmptyCaptionAreOneZeroWord) {
    DialogDescription dialog = PlainDialog();
    Words withNull = Build(dialog, nullptr);
    static const Utf16Char empty[] = u"";
    dialog.caption = empty;
    EXPECT_EQ(Build(dialog, nullptr), withNull);
}

TEST(TemplateBuilder, FontBlockFollowsTheFaceNameNotTheStyle) {
    DialogDescription dialog = PlainDialog();
    dialog.style = WS_POPUP | DS_SETFONT;
    dialog.pointSize = 12;
    // DS_SETFONT without a face name: no point size, no name.
    EXPECT_EQ(Build(dialog, nullptr),
              Concat({DialogHeader(WS_POPUP | DS_SETFONT, 0, 0, 3, -4, 200, 100), {0, 0, 0}}));
    static const Utf16Char face[] = u"Tahoma";
    dialog.faceName = face;
    EXPECT_EQ(Build(dialog, nullptr),
              Concat({DialogHeader(WS_POPUP | DS_SETFONT, 0, 0, 3, -4, 200, 100),
                      {0, 0, 0},
                      {12, 'T', 'a', 'h', 'o', 'm', 'a', 0}}));  // 20 words: even
}

TEST(TemplateBuilder, MenuAndClassAsOrdinalsAndAsNames) {
    static const Utf16Char menuName[] = u"MN";
    static const Utf16Char className[] = u"Cls";
    DialogDescription dialog = PlainDialog();
    dialog.menu = 7;
    dialog.windowClass = 0x8002;
    EXPECT_EQ(Build(dialog, nullptr),
              Concat({DialogHeader(WS_POPUP, 0, 0, 3, -4, 200, 100),
                      {0xFFFF, 7},
                      {0xFFFF, 0x8002},
                      {0}}));  // 14 words: even
    dialog.menu = NameOrIdFromText(menuName);
    dialog.windowClass = NameOrIdFromText(className);
    EXPECT_EQ(Build(dialog, nullptr),
              Concat({DialogHeader(WS_POPUP, 0, 0, 3, -4, 200, 100),
                      {'M', 'N', 0},
                      {'C', 'l', 's', 0},
                      {0},
                      {0}}));  // caption, then alignment: 17 words are odd
}

TEST(TemplateBuilder, ItemsGetWsChildTheirClassesTextsAndAlignment) {
    static const Utf16Char text[] = u"abc";
    static const Utf16Char customClass[] = u"MyCtl";
    DialogDescription dialog = PlainDialog();
    dialog.itemCount = 3;
    DialogItemDescription items[3] = {};
    items[0].windowClass = 0x0082;  // static, text as an ordinal (an icon resource)
    items[0].text = 0x0075;
    items[0].style = SS_ICON;
    items[0].x = 1;
    items[0].y = 2;
    items[0].cx = 3;
    items[0].cy = 4;
    items[0].id = 0xFFFF;
    items[1].windowClass = NameOrIdFromText(customClass);  // a class name, empty text
    items[1].style = WS_CHILD | WS_TABSTOP;
    items[1].extendedStyle = WS_EX_CLIENTEDGE;
    items[1].id = 5;
    items[2].windowClass = 0x0080;
    items[2].text = NameOrIdFromText(text);
    items[2].style = BS_PUSHBUTTON;
    items[2].id = 6;
    Words words = Build(dialog, items);
    Words expected = Concat({
        DialogHeader(WS_POPUP, 0, 3, 3, -4, 200, 100),
        {0, 0, 0},  // 12 words
        ItemHeader(WS_CHILD | SS_ICON, 0, 1, 2, 3, 4, 0xFFFF),
        {0xFFFF, 0x0082},
        {0xFFFF, 0x0075},
        {0},  // 26 words: even, no alignment word
        ItemHeader(WS_CHILD | WS_TABSTOP, WS_EX_CLIENTEDGE, 0, 0, 0, 0, 5),
        {'M', 'y', 'C', 't', 'l', 0},
        {0},  // empty text
        {0},
        {0},  // 43 words are odd: one alignment word
        ItemHeader(WS_CHILD | BS_PUSHBUTTON, 0, 0, 0, 0, 0, 6),
        {0xFFFF, 0x0080},
        {'a', 'b', 'c', 0},
        {0},  // 60 words: even
    });
    EXPECT_EQ(words, expected);
    EXPECT_EQ(words.size(), 60u);
}

TEST(TemplateBuilder, NeverWritesPastTheCapacity) {
    static const Utf16Char caption[] = u"Caption text";
    DialogDescription dialog = PlainDialog();
    dialog.caption = caption;
    size_t size = WriteDialogTemplate(&dialog, nullptr, nullptr, 0);
    for (size_t capacity = 0; capacity < size; capacity++) {
        std::vector<unsigned char> buffer(size + 8, 0xCD);
        size_t written = WriteDialogTemplate(&dialog, nullptr, buffer.data(), capacity);
        EXPECT_LT(written, size) << capacity;
        EXPECT_LE(written, capacity) << capacity;
        for (size_t i = capacity; i < buffer.size(); i++)
            ASSERT_EQ(buffer[i], 0xCD) << "capacity " << capacity << ", byte " << i;
    }
}

// A dialog procedure that records what the dialog manager made of the template.
struct CreatedDialog {
    char caption[32];
    char itemText[32];
    char itemClass[32];
    int itemCount;
};

BOOL CALLBACK CountChild(HWND, LPARAM lParam) {
    ++*(int*)lParam;
    return TRUE;
}

INT_PTR CALLBACK RecordAndEnd(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG) return 0;
    CreatedDialog* seen = (CreatedDialog*)lParam;
    GetWindowTextA(dialog, seen->caption, sizeof(seen->caption));
    HWND item = GetDlgItem(dialog, 42);
    if (item != nullptr) {
        GetWindowTextA(item, seen->itemText, sizeof(seen->itemText));
        GetClassNameA(item, seen->itemClass, sizeof(seen->itemClass));
    }
    EnumChildWindows(dialog, CountChild, (LPARAM)&seen->itemCount);
    EndDialog(dialog, 77);
    return TRUE;
}

TEST(TemplateBuilder, ModalDialogFromTheBlockHasItsCaptionAndItems) {
    static const Utf16Char caption[] = u"テスト";
    static const Utf16Char text[] = u"文字列";
    static const Utf16Char face[] = u"ＭＳ Ｐゴシック";
    DialogDescription dialog = PlainDialog();
    dialog.style = WS_POPUP | WS_CAPTION | DS_SETFONT;
    dialog.caption = caption;
    dialog.faceName = face;
    dialog.pointSize = 9;
    dialog.itemCount = 2;
    DialogItemDescription items[2] = {};
    items[0].windowClass = 0x0082;
    items[0].text = NameOrIdFromText(text);
    items[0].cx = 50;
    items[0].cy = 10;
    items[0].id = 42;
    items[1].windowClass = 0x0080;
    items[1].id = 43;
    void* block = BuildDialogTemplate(&dialog, items);
    ASSERT_NE(block, nullptr);
    CreatedDialog seen = {};
    INT_PTR result = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), (LPCDLGTEMPLATEA)block,
                                             nullptr, RecordAndEnd, (LPARAM)&seen);
    free(block);
    EXPECT_EQ(result, 77);
    EXPECT_STREQ(seen.caption, "テスト");
    EXPECT_STREQ(seen.itemText, "文字列");
    EXPECT_STREQ(seen.itemClass, "Static");
    EXPECT_EQ(seen.itemCount, 2);
}

}  // namespace
