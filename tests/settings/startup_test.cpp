// ZendrelPanel.exe started with arguments, as an installer or a user starts
// it: the real program, copied with a urls.txt into a folder whose name has a
// blank, run as a child process; its message boxes are read and answered
// from here.
#include <windows.h>

#include <gtest/gtest.h>

#include "message_boxes.h"
#include "settings_fixture.h"
#include "window_driver.h"

namespace zendrel::test {
namespace {

constexpr DWORD kPatience = 60000;  // ms; only reached when something is wrong

struct FindData {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectMainWindows(HWND hwnd, LPARAM lp) {
    auto* data = reinterpret_cast<FindData*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == data->processId && ClassOf(hwnd) == L"ZendrelMainFrm" && IsWindowVisible(hwnd))
        data->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> MainWindows(DWORD processId) {
    FindData data{processId, {}};
    EnumWindows(CollectMainWindows, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

class StartupTest : public SettingsFixture {
  protected:
    void SetUp() override {
        SettingsFixture::SetUp();
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring bin(self);
        bin.resize(bin.find_last_of(L'\\'));
        programFolder_ = Folder() + L"\\Zendrel Panel";
        ASSERT_TRUE(CreateDirectoryW(programFolder_.c_str(), nullptr));
        program_ = programFolder_ + L"\\ZendrelPanel.exe";
        ASSERT_TRUE(CopyFileW((bin + L"\\ZendrelPanel.exe").c_str(), program_.c_str(), FALSE));
        HANDLE urls = CreateFileW((programFolder_ + L"\\urls.txt").c_str(), GENERIC_WRITE, 0,
                                  nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(urls, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(urls, "child.example\r\n", 15, &written, nullptr);
        CloseHandle(urls);
    }

    void TearDown() override {
        if (process_.hProcess) {
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(process_.hProcess, 99);
                WaitForSingleObject(process_.hProcess, kPatience);
            }
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
        SettingsFixture::TearDown();
    }

    // Starts the program with the command line Windows would build for it:
    // its quoted path, then a blank and the argument text when there is one.
    void Start(const std::wstring& arguments) {
        std::wstring commandLine = L"\"" + program_ + L"\"";
        if (!arguments.empty()) commandLine += L" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        ASSERT_TRUE(CreateProcessW(program_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                   nullptr, programFolder_.c_str(), &startup, &process_));
    }

    // The next message box of the program (after `previous` has gone).
    BoxInfo NextBox(HWND previous = nullptr) {
        if (previous) {
            for (DWORD waited = 0; IsWindow(previous) && waited < kPatience; waited += 20)
                Sleep(20);
        }
        HWND box = WaitForMessageBox(process_.dwProcessId, kPatience);
        if (!box) return {};
        // The text is filled in after the box appears.
        BoxInfo info = ReadBox(box);
        for (DWORD waited = 0; info.text.empty() && waited < kPatience; waited += 20) {
            Sleep(20);
            info = ReadBox(box);
        }
        return info;
    }

    // Reads the "Invalid argument: " box for each piece in turn and presses OK.
    void ExpectInvalidArguments(const std::vector<std::wstring>& pieces) {
        HWND previous = nullptr;
        for (const std::wstring& piece : pieces) {
            BoxInfo box = NextBox(previous);
            ASSERT_NE(box.hwnd, nullptr) << "no box for \"" << testing::PrintToString(piece);
            EXPECT_EQ(box.title, L"ZendrelPanel");
            EXPECT_EQ(box.text, L"Invalid argument: " + piece);
            EXPECT_EQ(box.icon, 0);
            EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
            // Only one box at a time: the next piece waits for this one.
            EXPECT_TRUE(MainWindows(process_.dwProcessId).empty());
            PressButton(box.hwnd, IDOK);
            previous = box.hwnd;
        }
        if (previous)
            for (DWORD waited = 0; IsWindow(previous) && waited < kPatience; waited += 20)
                Sleep(20);
    }

    HWND WaitForMainWindow() {
        for (DWORD waited = 0; waited < kPatience; waited += 20) {
            std::vector<HWND> windows = MainWindows(process_.dwProcessId);
            if (!windows.empty()) return windows[0];
            if (WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0) return nullptr;
        }
        return nullptr;
    }

    // The window opened once, with the settings loaded from the program's folder.
    void ExpectTheWindowAndCloseIt() {
        HWND window = WaitForMainWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(TextOf(window), L"Zendrel Settings");
        EXPECT_EQ(MainWindows(process_.dwProcessId).size(), 1u);
        EXPECT_EQ(FindMessageBox(process_.dwProcessId), nullptr);
        EXPECT_EQ(ListRows(GetDlgItem(window, kIdListApproved)),
                  std::vector<std::wstring>{L"child.example"});
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER));
        PostMessageW(window, WM_CLOSE, 0, 0);
        ExpectProgramEnds(false);
    }

    // The program ends by itself with exit code 0.
    void ExpectProgramEnds(bool settingsUntouched = true) {
        ASSERT_EQ(WaitForSingleObject(process_.hProcess, kPatience), WAIT_OBJECT_0);
        DWORD code = 1;
        GetExitCodeProcess(process_.hProcess, &code);
        EXPECT_EQ(code, 0u);
        // Loading the settings would have created the user's key.
        if (settingsUntouched) {
            EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER));
        }
    }

    std::wstring programFolder_;
    std::wstring program_;
    PROCESS_INFORMATION process_{};
};

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
