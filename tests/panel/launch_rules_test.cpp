// What the window may hand to the shell: documents and web addresses only.
#include <gtest/gtest.h>

#include "launch_rules.h"

namespace zendrel {
namespace {

constexpr wchar_t kPathExt[] = L".COM;.EXE;.BAT;.CMD;.VBS;.JS;.WSH;.MSC;.PY";

TEST(LaunchRules, OnlyAbsolutePathsOfDocumentsAreOpened) {
    struct Case {
        const wchar_t* path;
        bool document;
    };
    const Case cases[] = {
        {L"C:\\ProgramData\\Zendrel\\activity.log", true},
        {L"\\\\server\\share\\zendrel.txt", true},
        {L"C:\\logs\\activity", true},  // no type: opens nothing that runs
        {L"C:\\logs\\evil.exe", false},
        {L"C:\\logs\\evil.EXE. . ", false},  // Windows drops trailing dots and blanks
        {L"C:\\logs\\evil.py", false},       // a type of PATHEXT
        {L"C:\\logs\\tool.LNK", false},
        {L"C:\\logs\\page.hta", false},
        {L"C:\\logs\\setup.msi", false},
        {L"C:\\logs\\", false},                  // a folder
        {L"C:\\logs\\x.log:hidden.exe", false},  // an alternate stream
        {L"activity.log", false},                // relative
        {L"http://example.com/log.txt", false},  // a protocol
        {L"ms-settings:windowsupdate", false},
        {L"C:\\logs\\a\nb.log", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsDocumentPath(c.path, kPathExt), c.document) << c.path;
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
