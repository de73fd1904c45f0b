// ZendrelPanel.exe run as a child process, as a user or an installer runs it:
// the real program, copied with a urls.txt into a folder whose name has a
// blank; its windows and message boxes are read and answered from the test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "message_boxes.h"
#include "main_layout.h"
#include "settings_fixture.h"
#include "window_driver.h"

namespace zendrel::test {

inline constexpr DWORD kPatience = 60000;  // ms; only reached when something is wrong

struct MainWindowSearch {
    DWORD processId;
    std::vector<HWND> found;
};

inline BOOL CALLBACK CollectMainWindows(HWND hwnd, LPARAM lp) {
    auto* data = reinterpret_cast<MainWindowSearch*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == data->processId && ClassOf(hwnd) == L"ZendrelMainFrm" && IsWindowVisible(hwnd))
        data->found.push_back(hwnd);
    return TRUE;
}

inline std::vector<HWND> MainWindows(DWORD processId) {
    MainWindowSearch data{processId, {}};
    EnumWindows(CollectMainWindows, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

class ChildProgramTest : public SettingsFixture {
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
        AnswerSaveChanges(IDNO);
        ExpectProgramEnds(false);
    }

    // The "Save Changes" question that every closing asks, at its fixed place
    // on the screen; answered with `button`.
    void AnswerSaveChanges(int button) {
        BoxInfo box = NextBox();
        ASSERT_NE(box.hwnd, nullptr) << "no question on closing";
        EXPECT_EQ(box.title, L"Save Changes");
        EXPECT_EQ(box.text, L"Would you like to save your changes?");
        EXPECT_NE(box.icon, 0);  // which one, the tests in this process check
        EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO, IDCANCEL}));
        EXPECT_EQ(box.rect.left, 50);
        EXPECT_EQ(box.rect.top, 250);
        PressButton(box.hwnd, button);
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

}  // namespace zendrel::test
