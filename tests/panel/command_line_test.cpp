// The command line of ZendrelPanel: the argument text, its pieces, and the
// installer words.
#include <gtest/gtest.h>

#include "command_line.h"

namespace zendrel {
namespace {

using Pieces = std::vector<std::wstring>;

TEST(ArgumentText, SkipsTheProgramNameAsWindowsDelimitsIt) {
    EXPECT_EQ(ArgumentText(L"ZendrelPanel.exe -i"), L"-i");
    EXPECT_EQ(ArgumentText(L"C:\\Zendrel\\ZendrelPanel.exe\t\t -x -y"), L"-x -y");
    EXPECT_EQ(ArgumentText(L"\"C:\\Program Files\\Zendrel\\ZendrelPanel.exe\" /install"),
              L"/install");
    // A quoted name ends at its closing quotation mark, blank or not.
    EXPECT_EQ(ArgumentText(L"\"C:\\a b\\ZendrelPanel.exe\"-u"), L"-u");
    EXPECT_EQ(ArgumentText(L"ZendrelPanel.exe"), L"");
    EXPECT_EQ(ArgumentText(L"\"ZendrelPanel.exe\""), L"");
    EXPECT_EQ(ArgumentText(L""), L"");
}

TEST(ArgumentText, KeepsEverythingAfterTheLeadingBlanks) {
    EXPECT_EQ(ArgumentText(L"ZendrelPanel.exe   -i  -u "), L"-i  -u ");
    EXPECT_EQ(ArgumentText(L"ZendrelPanel.exe \"-i\"\t"), L"\"-i\"\t");
}

TEST(SplitArguments, SplitsAtEverySingleSpace) {
    EXPECT_EQ(SplitArguments(L""), Pieces{});
    EXPECT_EQ(SplitArguments(L"-x -y"), (Pieces{L"-x", L"-y"}));
    EXPECT_EQ(SplitArguments(L"-i  -u"), (Pieces{L"-i", L"", L"-u"}));
    EXPECT_EQ(SplitArguments(L"-x "), (Pieces{L"-x", L""}));
    EXPECT_EQ(SplitArguments(L" "), (Pieces{L"", L""}));
    // Tabs and quotation marks are part of their piece.
    EXPECT_EQ(SplitArguments(L"\"-i\" a\tb"), (Pieces{L"\"-i\"", L"a\tb"}));
}

TEST(IsInstallerWord, KnowsTheTenWordsInAnyCase) {
    for (const wchar_t* word :
         {L"-i", L"/i", L"install", L"-install", L"/install", L"-u", L"/u", L"uninstall",
          L"-uninstall", L"/uninstall", L"/INSTALL", L"Uninstall", L"-I", L"/U", L"-InStAlL"})
        EXPECT_TRUE(IsInstallerWord(word)) << word;
    for (const wchar_t* word :
         {L"", L"i", L"u", L"\"-i\"", L"-i\t", L"--i", L"\\i", L"installs", L"-x", L"/uninstal"})
        EXPECT_FALSE(IsInstallerWord(word)) << word;
}

TEST(ReadArguments, ReportsEachUnknownPieceInOrderAndNotesInstallerWords) {
    StartupArguments none = ReadArguments(L"");
    EXPECT_EQ(none.invalid, Pieces{});
    EXPECT_FALSE(none.installer);

    StartupArguments fooU = ReadArguments(L"foo -u");
    EXPECT_EQ(fooU.invalid, Pieces{L"foo"});
    EXPECT_TRUE(fooU.installer);

    StartupArguments xy = ReadArguments(L"-x -y");
    EXPECT_EQ(xy.invalid, (Pieces{L"-x", L"-y"}));
    EXPECT_FALSE(xy.installer);

    StartupArguments gap = ReadArguments(L"-i  -u");
    EXPECT_EQ(gap.invalid, Pieces{L""});
    EXPECT_TRUE(gap.installer);

    // The piece is reported as typed, not lower-cased.
    StartupArguments typed = ReadArguments(L"Foo /INSTALL \"-i\"");
    EXPECT_EQ(typed.invalid, (Pieces{L"Foo", L"\"-i\""}));
    EXPECT_TRUE(typed.installer);
}

}  // namespace
}  // namespace zendrel
