// The shell verb's registry procedures against the prefix's real registry. Every
// test works on extensions and classes of its own under HKEY_CLASSES_ROOT and
// deletes them again, so the real .exe and .dll associations are never touched.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "../../assoc/settings.h"
#include "../../util/bounded.h"
#include "regtools.h"

namespace {

const char kExtA[] = ".plntesta";
const char kExtB[] = ".plntestb";
const char kClassA[] = "plntesta.file";
const char kMissingClass[] = "plntest.nosuchclass";

const FileTypeRow kTestTable[] = {ExtensionRow(1000, kExtA, "*.plntesta ファイル"),
                                  ExtensionRow(1001, kExtB, "*.plntestb ファイル")};

class AssocRegistry : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        regtools::DeleteTree(kExtA);
        regtools::DeleteTree(kExtB);
        regtools::DeleteTree(kClassA);
        regtools::DeleteTree(kMissingClass);
    }
    static std::string Verb(const std::string& cls) { return cls + "\\shell\\pelnore"; }
    static std::string Command(const std::string& cls) { return Verb(cls) + "\\command"; }
    static std::string Default(const std::string& path) {
        std::string text;
        EXPECT_TRUE(regtools::ReadDefault(path, &text)) << path;
        return text;
    }
    VerbRoots roots = {HKEY_CLASSES_ROOT,
                       {HKEY_CLASSES_ROOT, "", "HKEY_CLASSES_ROOT", &kWin32RegistryWriter},
                       regtools::kTestUserStore,
                       kTestTable,
                       2};
};

// The class key exists and the extension names it: the verb goes there.
TEST_F(AssocRegistry, VerbGoesUnderTheClassTheExtensionNames) {
    ASSERT_TRUE(regtools::WriteDefault(kExtA, kClassA));
    ASSERT_TRUE(regtools::CreateKey(kClassA));
    char cls[CLASS_NAME_CAPACITY];
    ResolveFileClass(&roots, kExtA, cls);
    EXPECT_STREQ(kClassA, cls);

    ASSERT_TRUE(RegisterVerb(&roots, kExtA, "メニュー文字", "\"C:\\x.exe\" \"%1\""));
    EXPECT_EQ("メニュー文字", Default(Verb(kClassA)));
    EXPECT_EQ("\"C:\\x.exe\" \"%1\"", Default(Command(kClassA)));
    EXPECT_FALSE(regtools::KeyExists(std::string(kExtA) + "\\shell"));

    static AssociationSettings loaded;
    LoadAssociationSettings(&roots, &loaded);
    EXPECT_STREQ("HKEY_CLASSES_ROOT\\plntesta.file\\shell\\pelnore", loaded.types[0].keyText);
}

// No value, a value naming no key, and an empty value all leave the extension
// key itself as the class; the empty one must not name the classes root.
TEST_F(AssocRegistry, ExtensionKeyItselfWhenTheValueNamesNothingUsable) {
    const std::string cases[] = {"missing", kMissingClass, ""};
    for (const std::string& value : cases) {
        SCOPED_TRACE("default value: " + value);
        Clean();
        ASSERT_TRUE(regtools::CreateKey(kExtA));
        if (value != "missing") {
            ASSERT_TRUE(regtools::WriteDefault(kExtA, value));
        }
        bool rootShellVerbBefore = regtools::KeyExists("shell\\pelnore");

        char cls[CLASS_NAME_CAPACITY];
        ResolveFileClass(&roots, kExtA, cls);
        EXPECT_STREQ(kExtA, cls);
        ASSERT_TRUE(RegisterVerb(&roots, kExtA, "m", "c"));
        EXPECT_EQ("m", Default(Verb(kExtA)));
        EXPECT_EQ("c", Default(Command(kExtA)));
        EXPECT_FALSE(regtools::KeyExists(kMissingClass));
        EXPECT_EQ(rootShellVerbBefore, regtools::KeyExists("shell\\pelnore"));

        char menu[MENU_TEXT_CAPACITY], command[COMMAND_LINE_CAPACITY];
        EXPECT_TRUE(ReadVerb(&roots, kExtA, menu, command));
        EXPECT_STREQ("m", menu);
        EXPECT_STREQ("c", command);
    }
}

// Without an extension key the shared classes get nothing (the class is never
// invented there), and with no verb anywhere removing has nothing left to do.
TEST_F(AssocRegistry, RegisterFailsWithoutAnExtensionKey) {
    VerbRoots sharedOnly = roots;
    sharedOnly.user.writer = &regtools::kRefusingWriter;
    EXPECT_FALSE(RegisterVerb(&sharedOnly, kExtA, "m", "c"));
    EXPECT_FALSE(regtools::KeyExists(kExtA));
    EXPECT_TRUE(UnregisterVerb(&roots, kExtA));
    char menu[MENU_TEXT_CAPACITY], command[COMMAND_LINE_CAPACITY];
    EXPECT_FALSE(ReadVerb(&roots, kExtA, menu, command));
}

// Registering again replaces the values in place; what others added stays.
TEST_F(AssocRegistry, RegisterOverAnExistingVerbReplacesTheValues) {
    ASSERT_TRUE(regtools::CreateKey(kExtA));
    ASSERT_TRUE(RegisterVerb(&roots, kExtA, "old menu", "old command"));
    ASSERT_TRUE(regtools::CreateKey(Verb(kExtA) + "\\ddeexec"));
    ASSERT_TRUE(RegisterVerb(&roots, kExtA, "new menu", "new command"));
    EXPECT_EQ("new menu", Default(Verb(kExtA)));
    EXPECT_EQ("new command", Default(Command(kExtA)));
    EXPECT_TRUE(regtools::KeyExists(Verb(kExtA) + "\\ddeexec"));

    std::string raw;
    DWORD type = 0;
    ASSERT_TRUE(regtools::ReadDefaultRaw(Command(kExtA), &raw, &type));
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ(std::string("new command", 12), raw);  // stored with its terminator
    EXPECT_EQ(std::string("Player", 7), regtools::SelectionModel(Verb(kExtA)));
}

TEST_F(AssocRegistry, UnregisterDeletesTheVerbAndLeavesShell) {
    ASSERT_TRUE(regtools::CreateKey(kExtA));
    ASSERT_TRUE(RegisterVerb(&roots, kExtA, "m", "c"));
    ASSERT_TRUE(regtools::CreateKey(std::string(kExtA) + "\\shell\\open"));
    EXPECT_TRUE(UnregisterVerb(&roots, kExtA));
    EXPECT_FALSE(regtools::KeyExists(Verb(kExtA)));
    EXPECT_TRUE(regtools::KeyExists(std::string(kExtA) + "\\shell\\open"));

    regtools::DeleteTree(std::string(kExtA) + "\\shell\\open");
    ASSERT_TRUE(RegisterVerb(&roots, kExtA, "m", "c"));
    EXPECT_TRUE(UnregisterVerb(&roots, kExtA));
    EXPECT_TRUE(regtools::KeyExists(std::string(kExtA) + "\\shell"));
    EXPECT_TRUE(regtools::SubKeys(std::string(kExtA) + "\\shell").empty());
    // Nothing left to delete still counts as done while "shell" opens.
    EXPECT_TRUE(UnregisterVerb(&roots, kExtA));
}

// A verb key without "command" is not a registration: the defaults show, and
// applying the ticked type creates "command" and overwrites the menu text.
TEST_F(AssocRegistry, VerbWithoutCommandLoadsAsNotRegistered) {
    ASSERT_TRUE(regtools::CreateKey(kExtA));
    ASSERT_TRUE(regtools::CreateKey(kExtB));
    ASSERT_TRUE(regtools::WriteDefault(Verb(kExtA), "stale menu"));

    static AssociationSettings loaded;
    LoadAssociationSettings(&roots, &loaded);
    EXPECT_EQ(0u, loaded.enabledMask);
    EXPECT_STREQ("リソースを抜き出す", loaded.types[0].menuText);
    char expected[COMMAND_LINE_CAPACITY];
    BuildDefaultCommandLine("%1", expected);
    EXPECT_STREQ(expected, loaded.types[0].commandLine);
    EXPECT_STREQ("HKEY_CLASSES_ROOT\\.plntesta\\shell\\pelnore", loaded.types[0].keyText);

    static AssociationSettings edited;
    edited = loaded;
    edited.enabledMask = 1;
    DWORD changed = DiffAssociationSettings(&edited, &loaded);
    EXPECT_EQ(1u, changed);
    ApplyAssociationSettings(&roots, &edited, changed);
    EXPECT_EQ("リソースを抜き出す", Default(Verb(kExtA)));
    EXPECT_EQ(expected, Default(Command(kExtA)));
    EXPECT_FALSE(regtools::KeyExists(Verb(kExtB)));
}

TEST_F(AssocRegistry, RegisteredVerbWithoutMenuValueLoadsEmptyMenuText) {
    ASSERT_TRUE(regtools::CreateKey(kExtA));
    ASSERT_TRUE(regtools::CreateKey(Verb(kExtA)));
    ASSERT_TRUE(regtools::WriteDefault(Command(kExtA), "cmd"));
    static AssociationSettings loaded;
    LoadAssociationSettings(&roots, &loaded);
    EXPECT_EQ(1u, loaded.enabledMask);
    EXPECT_STREQ("", loaded.types[0].menuText);
    EXPECT_STREQ("cmd", loaded.types[0].commandLine);
}

// A value stored without its terminating NUL comes back without one, and one
// of another type is no text; either is read safely as the verb's menu text.
TEST_F(AssocRegistry, ValueWithoutTerminatorIsReadSafely) {
    ASSERT_TRUE(regtools::CreateKey(kExtA));
    ASSERT_TRUE(regtools::WriteDefault(Command(kExtA), "c"));
    static char menu[MENU_TEXT_CAPACITY], command[COMMAND_LINE_CAPACITY];
    ASSERT_TRUE(regtools::WriteDefaultRaw(Verb(kExtA), "ABC", REG_SZ));
    memset(menu, 'X', sizeof(menu));
    EXPECT_TRUE(ReadVerb(&roots, kExtA, menu, command));
    EXPECT_STREQ("ABC", menu);

    // A value that is not a string is no text at all; the verb still counts.
    DWORD number = 0x41414141;
    ASSERT_TRUE(regtools::WriteDefaultRaw(Verb(kExtA), std::string((char*)&number, 4), REG_DWORD));
    memset(menu, 'X', sizeof(menu));
    EXPECT_TRUE(ReadVerb(&roots, kExtA, menu, command));
    EXPECT_STREQ("", menu);
}

// What the registry may hand back, crafted byte for byte: the cases that Wine
// smooths over (it adds a terminator when there is room and refuses a value
// that fills the buffer exactly) but Windows passes through.
TEST(AssocStringValue, EveryReadEndsTerminatedInsideTheBuffer) {
    struct Guarded {
        char buffer[8];
        char guard[4];
    } g;
    auto fill = [&](const char* bytes, size_t n) {
        memset(&g, 'X', sizeof(g));
        memcpy(g.buffer, bytes, n);
    };
    fill("ABC", 3);  // three bytes, no terminator, the rest of the buffer junk
    EXPECT_TRUE(EndStringValue(g.buffer, 3, 8));
    EXPECT_STREQ("ABC", g.buffer);
    fill("ABCDEFG", 7);
    EXPECT_TRUE(EndStringValue(g.buffer, 7, 8));
    EXPECT_STREQ("ABCDEFG", g.buffer);
    fill("ABCDEFGH", 8);  // fills the buffer with text: too long
    EXPECT_FALSE(EndStringValue(g.buffer, 8, 8));
    EXPECT_EQ('\0', g.buffer[0]);
    EXPECT_EQ(std::string(4, 'X'), std::string(g.guard, 4));
    fill("ABCDEFG", 8);  // seven bytes and the stored terminator
    EXPECT_TRUE(EndStringValue(g.buffer, 8, 8));
    EXPECT_STREQ("ABCDEFG", g.buffer);
    fill("", 0);
    EXPECT_TRUE(EndStringValue(g.buffer, 0, 8));
    EXPECT_STREQ("", g.buffer);
    fill("AB", 2);  // a size beyond the buffer is never trusted
    EXPECT_FALSE(EndStringValue(g.buffer, 9, 8));
    EXPECT_EQ('\0', g.buffer[0]);
    EXPECT_EQ(std::string(4, 'X'), std::string(g.guard, 4));
}

TEST_F(AssocRegistry, UnterminatedCommandLineAtFullCapacityLoadsEmpty) {
    ASSERT_TRUE(regtools::CreateKey(kExtA));
    ASSERT_TRUE(regtools::WriteDefault(Verb(kExtA), "m"));
    static char menu[MENU_TEXT_CAPACITY];
    static char command[COMMAND_LINE_CAPACITY + 16];

    // 1024 characters with their terminator: the longest command line that fits.
    std::string longest(1024, 'c');
    ASSERT_TRUE(regtools::WriteDefault(Command(kExtA), longest));
    memset(command, 'X', sizeof(command));
    EXPECT_TRUE(ReadVerb(&roots, kExtA, menu, command));
    EXPECT_EQ(longest, std::string(command));

    // 1025 characters without one would fill the buffer with no room to end it.
    ASSERT_TRUE(regtools::WriteDefaultRaw(Command(kExtA), std::string(1025, 'c'), REG_SZ));
    memset(command, 'X', sizeof(command));
    EXPECT_TRUE(ReadVerb(&roots, kExtA, menu, command));
    EXPECT_STREQ("", command);
    EXPECT_EQ(std::string(16, 'X'), std::string(command + COMMAND_LINE_CAPACITY, 16));
    EXPECT_STREQ("m", menu);
}

// Only the file types that were switched or edited reach the registry.
TEST_F(AssocRegistry, DiffAndApplyTouchOnlyChangedTypes) {
    ASSERT_TRUE(regtools::CreateKey(kExtA));
    ASSERT_TRUE(regtools::CreateKey(kExtB));
    // A verb as an earlier version wrote it, without the selection model.
    ASSERT_TRUE(regtools::WriteDefault(Verb(kExtA), "menu A"));
    ASSERT_TRUE(regtools::WriteDefault(Command(kExtA), "command A"));
    static AssociationSettings loaded, edited;
    LoadAssociationSettings(&roots, &loaded);
    ASSERT_EQ(1u, loaded.enabledMask);
    EXPECT_STREQ("menu A", loaded.types[0].menuText);

    // Somebody changes the value behind the dialog's back; an unchanged OK
    // must not write the loaded value over it.
    ASSERT_TRUE(regtools::WriteDefault(Command(kExtA), "changed outside"));
    edited = loaded;
    EXPECT_EQ(0u, DiffAssociationSettings(&edited, &loaded));
    ApplyAssociationSettings(&roots, &edited, 0);
    EXPECT_EQ("changed outside", Default(Command(kExtA)));
    EXPECT_EQ("", regtools::SelectionModel(Verb(kExtA)));

    // Key text and the texts of an unticked type take no part.
    CopyBounded(edited.types[0].keyText, KEY_TEXT_CAPACITY, "something else");
    CopyBounded(edited.types[1].menuText, MENU_TEXT_CAPACITY, "edited but off");
    EXPECT_EQ(0u, DiffAssociationSettings(&edited, &loaded));

    // A case-only edit counts; B stays untouched.
    edited = loaded;
    CopyBounded(edited.types[0].menuText, MENU_TEXT_CAPACITY, "Menu A");
    DWORD changed = DiffAssociationSettings(&edited, &loaded);
    EXPECT_EQ(1u, changed);
    ApplyAssociationSettings(&roots, &edited, changed);
    EXPECT_EQ("Menu A", Default(Verb(kExtA)));
    EXPECT_EQ(std::string("Player", 7), regtools::SelectionModel(Verb(kExtA)));
    EXPECT_EQ("command A", Default(Command(kExtA)));
    EXPECT_FALSE(regtools::KeyExists(std::string(kExtB) + "\\shell"));

    edited = loaded;
    edited.types[0].commandLine[0] = 'C';
    EXPECT_EQ(1u, DiffAssociationSettings(&edited, &loaded));

    // Switching A off and B on: both change, A is deleted and B written.
    edited = loaded;
    edited.enabledMask = 2;
    changed = DiffAssociationSettings(&edited, &loaded);
    EXPECT_EQ(3u, changed);
    ApplyAssociationSettings(&roots, &edited, changed);
    EXPECT_FALSE(regtools::KeyExists(Verb(kExtA)));
    EXPECT_TRUE(regtools::KeyExists(std::string(kExtA) + "\\shell"));
    EXPECT_EQ("リソースを抜き出す", Default(Verb(kExtB)));
}

// Writing the shared classes refused, as for every process without elevation
// on Windows: the verb goes to the user's classes key (a throwaway one here).
class AssocUserFallback : public AssocRegistry {
protected:
    void SetUp() override {
        AssocRegistry::SetUp();
        regtools::DeleteUserTree(regtools::kTestUserRoot);
        ASSERT_TRUE(regtools::CreateKey(kExtA));
        ASSERT_TRUE(regtools::CreateKey(kExtB));
    }
    void TearDown() override {
        regtools::DeleteUserTree(regtools::kTestUserRoot);
        AssocRegistry::TearDown();
    }
    static std::string UserVerb(const std::string& cls) {
        return std::string(regtools::kTestUserClasses) + "\\" + Verb(cls);
    }
    static std::string UserDefault(const std::string& path) {
        std::string text;
        EXPECT_TRUE(regtools::ReadUserDefault(path, &text)) << path;
        return text;
    }
    VerbRoots refused = {HKEY_CLASSES_ROOT,
                         {HKEY_CLASSES_ROOT, "", "HKEY_CLASSES_ROOT", &regtools::kRefusingWriter},
                         regtools::kTestUserStore,
                         kTestTable,
                         2};
};

// With no shared verb: registered, shown and removed in the user's key alone;
// removing also takes away the class and shell keys that registering made.
TEST_F(AssocUserFallback, RefusedSharedWriteGoesToTheUsersKey) {
    static AssociationSettings loaded, edited;
    LoadAssociationSettings(&refused, &loaded);
    EXPECT_EQ(0u, loaded.enabledMask);
    // Not registered, and the shared class cannot be written: OK would write the user's key.
    EXPECT_STREQ("HKEY_CURRENT_USER\\Software\\plntest\\Classes\\.plntesta\\shell\\pelnore",
                 loaded.types[0].keyText);

    edited = loaded;
    edited.enabledMask = 1;
    CopyBounded(edited.types[0].menuText, MENU_TEXT_CAPACITY, "ユーザーのメニュー");
    EXPECT_EQ(0u, ApplyAssociationSettings(&refused, &edited, 1));
    EXPECT_EQ("ユーザーのメニュー", UserDefault(UserVerb(kExtA)));
    EXPECT_EQ(edited.types[0].commandLine, UserDefault(UserVerb(kExtA) + "\\command"));
    EXPECT_FALSE(regtools::KeyExists(std::string(kExtA) + "\\shell"));
    EXPECT_FALSE(regtools::UserKeyExists(std::string(regtools::kTestUserClasses) + "\\" + kExtB));

    // Wine keeps HKEY_CURRENT_USER\Software\Classes out of HKEY_CLASSES_ROOT,
    // so the user's merged view is stood in for by the user's key itself
    // (it holds the extension key as well, and the shared one holds no verb).
    HKEY userClasses;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, regtools::kTestUserClasses, 0,
                                           KEY_READ, &userClasses));
    VerbRoots merged = refused;
    merged.view = userClasses;
    static AssociationSettings reloaded;
    LoadAssociationSettings(&merged, &reloaded);
    EXPECT_EQ(1u, reloaded.enabledMask);
    EXPECT_STREQ("ユーザーのメニュー", reloaded.types[0].menuText);
    EXPECT_STREQ(edited.types[0].commandLine, reloaded.types[0].commandLine);
    EXPECT_STREQ(loaded.types[0].keyText, reloaded.types[0].keyText);

    edited.enabledMask = 0;
    EXPECT_EQ(0u, ApplyAssociationSettings(&merged, &edited, 1));
    RegCloseKey(userClasses);
    EXPECT_FALSE(regtools::UserKeyExists(std::string(regtools::kTestUserClasses) + "\\" + kExtA));
    EXPECT_TRUE(regtools::UserKeyExists(regtools::kTestUserClasses));
}

// A shared verb that cannot be changed is shadowed by the user's, which then
// shows what the dialog showed; unticking clears the user's but cannot clear
// the shared one, and says so. When the shared write succeeds, a user's verb
// that would shadow it is brought into step. Both refused: nothing is written.
TEST_F(AssocUserFallback, SharedVerbThatCannotChangeIsShadowedOrReported) {
    ASSERT_TRUE(RegisterVerb(&roots, kExtA, "shared menu", "shared command"));
    static AssociationSettings loaded, edited;
    LoadAssociationSettings(&refused, &loaded);
    EXPECT_EQ(1u, loaded.enabledMask);
    EXPECT_STREQ("HKEY_CLASSES_ROOT\\.plntesta\\shell\\pelnore", loaded.types[0].keyText);

    edited = loaded;
    CopyBounded(edited.types[0].menuText, MENU_TEXT_CAPACITY, "edited menu");
    EXPECT_EQ(0u, ApplyAssociationSettings(&refused, &edited, 1));
    EXPECT_EQ("shared menu", Default(Verb(kExtA)));
    EXPECT_EQ("edited menu", UserDefault(UserVerb(kExtA)));
    EXPECT_EQ("shared command", UserDefault(UserVerb(kExtA) + "\\command"));
    static AssociationSettings reloaded;
    LoadAssociationSettings(&refused, &reloaded);
    EXPECT_EQ("HKEY_CURRENT_USER\\Software\\plntest\\Classes\\.plntesta\\shell\\pelnore",
              std::string(reloaded.types[0].keyText));

    edited.enabledMask = 0;
    EXPECT_EQ(1u, ApplyAssociationSettings(&refused, &edited, 1));
    EXPECT_FALSE(regtools::UserKeyExists(UserVerb(kExtA)));
    EXPECT_EQ("shared command", Default(Command(kExtA)));

    // The shared key writable again, a stale user's verb in the way.
    VerbRoots writable = refused;
    writable.shared.writer = &kWin32RegistryWriter;
    edited.enabledMask = 1;
    ASSERT_EQ(0u, ApplyAssociationSettings(&refused, &edited, 1));
    CopyBounded(edited.types[0].commandLine, COMMAND_LINE_CAPACITY, "new command");
    EXPECT_EQ(0u, ApplyAssociationSettings(&writable, &edited, 1));
    EXPECT_EQ("new command", Default(Command(kExtA)));
    EXPECT_EQ("new command", UserDefault(UserVerb(kExtA) + "\\command"));
    EXPECT_EQ("edited menu", Default(Verb(kExtA)));

    VerbRoots bothRefused = refused;
    bothRefused.user.writer = &regtools::kRefusingWriter;
    regtools::Snapshot before = regtools::Save(kExtB);
    edited.enabledMask = 3;
    EXPECT_EQ(2u, ApplyAssociationSettings(&bothRefused, &edited, 2));
    EXPECT_TRUE(regtools::SameTree(before, regtools::Save(kExtB)));
    EXPECT_FALSE(regtools::UserKeyExists(std::string(regtools::kTestUserClasses) + "\\" + kExtB));
}

// A name without a leading dot is a class key, here two levels deep: written
// to the user's key and, when removed, taken away with the parent it made.
TEST_F(AssocUserFallback, ClassKeyNameHoldsTheVerbAndPrunesItsParents) {
    const char nested[] = "plntest.dir\\Background";
    ASSERT_TRUE(RegisterVerb(&refused, nested, "背景", "bg %V"));
    EXPECT_EQ("bg %V", UserDefault(UserVerb(nested) + "\\command"));
    EXPECT_TRUE(UnregisterVerb(&refused, nested));
    EXPECT_FALSE(
        regtools::UserKeyExists(std::string(regtools::kTestUserClasses) + "\\plntest.dir"));
    EXPECT_TRUE(regtools::UserKeyExists(regtools::kTestUserClasses));
}

TEST(AssocDefaults, DefaultCommandLineQuotesTheProgramPath) {
    char path[PATH_CAPACITY];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
    ASSERT_GT(n, 0u);
    std::string expected = "\"" + std::string(path, n) + "\" \"%1\"";
    char buffer[COMMAND_LINE_CAPACITY];
    memset(buffer, 'X', sizeof(buffer));
    EXPECT_EQ(expected.size() + 1, BuildDefaultCommandLine("%1", buffer));
    EXPECT_EQ(expected, std::string(buffer));
    BuildDefaultCommandLine("%V", buffer);  // the open folder of a background click
    EXPECT_EQ("\"" + std::string(path, n) + "\" \"%V\"", std::string(buffer));
}

}  // namespace
