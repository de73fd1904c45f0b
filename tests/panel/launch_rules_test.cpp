// What the window may hand to the shell: documents and web addresses only.
#include <gtest/gtest.h>

#include "launch_rules.h"

namespace zendrel {
namespace {

TEST(LaunchRules, OnlyPlainTextOnALocalDriveIsOpenedAsTheLog) {
    constexpr auto ok = LogPathRefusal::None, local = LogPathRefusal::NotLocal,
                   text = LogPathRefusal::NotPlainText;
    struct Case {
        const wchar_t* path;
        LogPathRefusal refusal;
    };
    const Case cases[] = {
        {L"C:\\ProgramData\\Zendrel\\ActivityLog.txt", ok},
        {L"d:/logs/activity.LOG", ok},
        {L"C:\\logs\\sites.Csv. . ", ok},  // Windows drops trailing dots and blanks
        {L"C:\\logs\\activity", text},     // no type
        {L"C:\\logs\\evil.exe", text},
        {L"C:\\logs\\evil.txt.lnk", text},
        {L"C:\\logs\\help.chm", text},
        {L"C:\\logs\\Documents.library-ms", text},
        {L"C:\\logs\\find.searchConnector-ms", text},
        {L"C:\\logs\\macro.docm", text},
        {L"C:\\logs\\", local},  // a folder
        {L"\\\\server\\share\\zendrel.txt", local},
        {L"//server/share/zendrel.txt", local},
        {L"\\\\?\\C:\\logs\\activity.txt", local},
        {L"\\\\.\\C:\\logs\\activity.txt", local},
        {L"\\??\\C:\\logs\\activity.txt", local},
        {L"\\logs\\activity.txt", local},        // the current drive's root
        {L"C:logs\\activity.txt", local},        // relative to the drive's current folder
        {L"activity.log", local},                // relative
        {L"C:\\logs\\x.txt:hidden.exe", local},  // an alternate stream
        {L"C:\\logs\\NUL.txt", local},           // a device in any folder
        {L"C:\\logs\\com1 .log", local},
        {L"C:\\logs\\a*.txt", local},
        {L"http://example.com/log.txt", local},
        {L"file://server/share/log.txt", local},
        {L"C:\\logs\\a\nb.log", local},
    };
    for (const Case& c : cases) EXPECT_EQ(CheckLogPath(c.path), c.refusal) << c.path;
}

TEST(LaunchRules, ALogInsideTheProtectedFolderIsToldFromOneOutside) {
    const wchar_t folder[] = L"C:\\ProgramData\\Zendrel";
    struct Case {
        const wchar_t* path;
        bool inside;
    };
    const Case cases[] = {
        {L"C:\\ProgramData\\Zendrel\\ActivityLog.txt", true},
        {L"c:/programdata/ZENDREL/ActivityLog.txt", true},
        {L"C:\\ProgramData\\.\\Zendrel\\\\old\\log.txt", true},
        {L"C:\\ProgramData\\Other\\..\\Zendrel\\log.txt", true},
        {L"C:\\..\\ProgramData\\Zendrel\\log.txt", true},  // the root has no parent
        {L"C:\\ProgramData\\Zendrel", false},                // the folder itself
        {L"C:\\ProgramData\\Zendrel\\", false},
        {L"C:\\ProgramData\\Zendrel\\.", false},
        {L"C:\\ProgramData\\Zendrel2\\x.txt", false},
        {L"C:\\ProgramData\\Zendre\\x.txt", false},
        {L"C:\\ProgramData\\Zendrel\\..\\x.txt", false},
        {L"C:\\ProgramData\\Zendrel\\sub\\..\\..\\Users\\x.txt", false},
        {L"C:\\ProgramData\\Zendrel\\.. \\x.txt", false},
        {L"C:\\ProgramData\\Zendrel\\...\\x.txt", false},
        {L"D:\\ProgramData\\Zendrel\\log.txt", false},
        {L"C:\\Users\\pupil\\log.txt", false},
        {L"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsInsideFolder(c.path, folder), c.inside) << c.path;
    EXPECT_FALSE(IsInsideFolder(L"C:\\x.txt", L""));
    EXPECT_TRUE(IsInsideFolder(L"C:\\ProgramData\\Zendrel\\x.txt", L"C:\\ProgramData\\Zendrel\\"));
}

TEST(LaunchRules, OnlyEntriesThatCanBeWebAddressesAreReviewed) {
    struct Case {
        const wchar_t* entry;
        bool web;
    };
    const Case cases[] = {
        {L"kids.example", true},
        {L"http://full.example/path?q=1&r=2", true},
        {L"", false},
        {L"a b.example", false},
        {L"x.example\" --new-window \"y", false},
        {L"<script>", false},
        {L"tab\t.example", false},
        {L"del\x7F.example", false},
    };
    for (const Case& c : cases) EXPECT_EQ(CanBeWebAddress(c.entry), c.web) << c.entry;
}

TEST(LaunchRules, TextIsShownWithoutControlCharactersAndCutShort) {
    EXPECT_EQ(Shown(L"a\r\nb"), L"a??b");
    EXPECT_EQ(Shown(std::wstring(300, L'x'), 200), std::wstring(200, L'x') + L"...");
}

}  // namespace
}  // namespace zendrel
