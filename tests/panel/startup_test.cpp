// ZendrelPanel.exe started with arguments, as an installer or a user starts it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "child_program.h"

namespace zendrel::test {
namespace {

using StartupTest = ChildProgramTest;

TEST_F(StartupTest, WithoutArgumentsTheWindowOpens) {
    Start(L"");
    ExpectTheWindowAndCloseIt();
}

// The libraries needed only now and then are loaded when first used: none of
// them may be in the program's import table, where it would load at start.
TEST(StartupImports, NoOccasionalLibraryLoadsAtStart) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring program(self);
    program = program.substr(0, program.find_last_of(L'\\')) + L"\\ZendrelPanel.exe";
    HMODULE image = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(image, nullptr);
    auto* base = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(image) & ~ULONG_PTR{3});
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::vector<std::string> names;
    for (auto* entry =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0; ++entry)
        names.push_back(
            CharLowerA(std::string(reinterpret_cast<const char*>(base + entry->Name)).data()));
    FreeLibrary(image);
    EXPECT_NE(std::find(names.begin(), names.end(), "user32.dll"), names.end());
    for (const char* occasional :
         {"shell32.dll", "ole32.dll", "oleaut32.dll", "oleacc.dll", "comdlg32.dll"})
        EXPECT_EQ(std::find(names.begin(), names.end(), occasional), names.end()) << occasional;
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
