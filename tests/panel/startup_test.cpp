// ZendrelPanel.exe started with arguments, as an installer or a user starts it.
#include <windows.h>

#include <gtest/gtest.h>

#include "child_program.h"

namespace zendrel::test {
namespace {

using StartupTest = ChildProgramTest;

TEST_F(StartupTest, WithoutArgumentsTheWindowOpens) {
    Start(L"");
    ExpectTheWindowAndCloseIt();
}

TEST_F(StartupTest, AnInstallerWordEndsTheProgramWithoutWindowOrSettings) {
    SetDword(HKEY_LOCAL_MACHINE, "activitylogging", 1);
    for (const wchar_t* word : {L"/INSTALL", L"Uninstall", L"-i"}) {
        SCOPED_TRACE(testing::Message() << "argument " << testing::PrintToString(word));
        Start(word);
        ExpectProgramEnds();
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
    }
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").bytes, std::string("\1\0\0\0", 4));
}

TEST_F(StartupTest, AnUnknownPieceBeforeAnInstallerWordIsReportedThenTheProgramEnds) {
    Start(L"foo -u");
    ExpectInvalidArguments({L"foo"});
    ExpectProgramEnds();
}

TEST_F(StartupTest, EachUnknownPieceIsReportedInOrderThenTheWindowOpens) {
    Start(L"-x -y");
    ExpectInvalidArguments({L"-x", L"-y"});
    ExpectTheWindowAndCloseIt();
}

TEST_F(StartupTest, TwoBlanksInARowGiveAnEmptyPiece) {
    Start(L"-i  -u");
    ExpectInvalidArguments({L""});
    ExpectProgramEnds();
}

TEST_F(StartupTest, ATrailingBlankGivesAnEmptyPiece) {
    Start(L"-x ");
    ExpectInvalidArguments({L"-x", L""});
    ExpectTheWindowAndCloseIt();
}

TEST_F(StartupTest, AQuotedInstallerWordIsNotRecognised) {
    Start(L"\"-i\"");
    ExpectInvalidArguments({L"\"-i\""});
    ExpectTheWindowAndCloseIt();
}

}  // namespace
}  // namespace zendrel::test
