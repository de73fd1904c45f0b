// ZendrelPanel.exe given what nobody should give it: odd stored passwords and
// hints, odd command lines, a line with NUL bytes in urls.txt. The real
// program runs as a child process.
#include <windows.h>

#include <gtest/gtest.h>

#include "child_program.h"

namespace zendrel::test {
namespace {

using namespace std::string_literals;

constexpr wchar_t kDialogCaption[] = L"Enter Password to Access Zendrel Settings";
constexpr int kIdDialogHint = 1001;
constexpr int kIdDialogPassword = 1004;

class BadInputChildTest : public ChildProgramTest {
  protected:
    HWND WaitForPasswordDialog() {
        auto isDialog = [](HWND hwnd) {
            return IsWindowVisible(hwnd) && TextOf(hwnd) == kDialogCaption;
        };
        for (DWORD waited = 0; waited < kPatience; waited += 20) {
            if (HWND found = FindProcessWindow(process_.dwProcessId, isDialog)) return found;
            if (WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0) return nullptr;
        }
        return nullptr;
    }

    // Types `entry` into the password dialog and presses OK.
    static void Enter(HWND dialog, const std::wstring& entry) {
        SendMessageW(GetDlgItem(dialog, kIdDialogPassword), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(entry.c_str()));
        PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    }

    void WriteProgramUrls(const std::string& bytes) {
        HANDLE file = CreateFileW((programFolder_ + L"\\urls.txt").c_str(), GENERIC_WRITE, 0,
                                  nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }

    std::string ReadProgramUrls() const {
        HANDLE file = CreateFileW((programFolder_ + L"\\urls.txt").c_str(), GENERIC_READ,
                                  FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return "<missing>";
        std::string bytes(1 << 16, '\0');
        DWORD got = 0;
        ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
        CloseHandle(file);
        bytes.resize(got);
        return bytes;
    }

    void EndTheProgram() {
        ASSERT_EQ(WaitForSingleObject(process_.hProcess, kPatience), WAIT_OBJECT_0);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
    }
};

TEST_F(BadInputChildTest, AStoredPasswordThatIsNoDigestStillAsksAndNoEntryOpensIt) {
    // Upper-case digest of "secret": digests are compared as stored text.
    for (std::string config : {"not a digest"s, "5EBE2294ECD0E0F08EAB7690D2A6EE69"s,
                               "5ebe2294ecd0e0f08eab7690d2a6ee6"s}) {
        SCOPED_TRACE(config);
        SetValue(HKEY_LOCAL_MACHINE, "config", REG_SZ, config + '\0');
        Start(L"");
        HWND dialog = WaitForPasswordDialog();
        ASSERT_NE(dialog, nullptr);
        HWND previous = nullptr;
        for (std::wstring entry : {L"secret"s, L""s, std::wstring(config.begin(), config.end())}) {
            Enter(dialog, entry);
            BoxInfo box = NextBox(previous);
            ASSERT_NE(box.hwnd, nullptr) << "accepted " << testing::PrintToString(entry);
            EXPECT_EQ(box.title, L"Invalid Password");
            PressButton(box.hwnd, IDOK);
            previous = box.hwnd;
            EXPECT_TRUE(MainWindows(process_.dwProcessId).empty());
        }
        for (DWORD waited = 0; IsWindow(previous) && waited < kPatience; waited += 20) Sleep(20);
        PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        ExpectProgramEnds();
        EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "config").bytes, config + '\0');
        EndTheProgram();
    }
}

TEST_F(BadInputChildTest, AHintOfTenThousandCharactersIsShownAndKeptWhole) {
    std::string hint;
    for (int i = 0; hint.size() < 10000; ++i) hint += "word" + std::to_string(i) + ' ';
    hint.resize(10000);
    const std::wstring wideHint(hint.begin(), hint.end());
    SetValue(HKEY_LOCAL_MACHINE, "config", REG_SZ, "5ebe2294ecd0e0f08eab7690d2a6ee69\0"s);
    SetValue(HKEY_LOCAL_MACHINE, "hint", REG_SZ, hint + '\0');
    Start(L"");
    HWND dialog = WaitForPasswordDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, kIdDialogHint)), L"Hint: " + wideHint);
    Enter(dialog, L"secret");
    HWND window = WaitForMainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(TextOf(GetDlgItem(window, kIdTxtHint)), wideHint);
    PostMessageW(window, WM_CLOSE, 0, 0);
    AnswerSaveChanges(IDYES);
    ExpectProgramEnds(false);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "hint").bytes, hint + '\0');
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "config").bytes, "5ebe2294ecd0e0f08eab7690d2a6ee69\0"s);
}

TEST_F(BadInputChildTest, OddCommandLinesAreReportedPieceByPiece) {
    struct Case {
        const char* what;
        std::wstring arguments;
        std::vector<std::wstring> invalid;
        bool window;
    };
    const std::wstring longPiece(32000, L'x');
    const Case cases[] = {
        {"one piece of 32 000 characters", longPiece, {longPiece}, true},
        {"many empty pieces", L"-u" + std::wstring(40, L' '), std::vector<std::wstring>(40, L""),
         false},
        {"characters outside the code page",
         L"-\u0416\u4E2D\U0001F600 /i",
         {L"-\u0416\u4E2D\U0001F600"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Start(c.arguments);
        ExpectInvalidArguments(c.invalid);
        if (c.window)
            ExpectTheWindowAndCloseIt();
        else
            ExpectProgramEnds();
        EndTheProgram();
        DeleteKeyTree(HKEY_CURRENT_USER, kSettingsPath);  // made by the window's load
    }
}

TEST_F(BadInputChildTest, ALineWithNulBytesIsShownAndSavedAsFarAsTheAddOnReadsIt) {
    WriteProgramUrls("a.example\r\nab\0cd.example\r\nb.example\r\n"s);
    Start(L"");
    HWND window = WaitForMainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ListRows(GetDlgItem(window, kIdListApproved)),
              (std::vector<std::wstring>{L"a.example", L"ab", L"b.example"}));
    PostMessageW(window, WM_CLOSE, 0, 0);
    AnswerSaveChanges(IDYES);
    ExpectProgramEnds(false);
    EXPECT_EQ(ReadProgramUrls(), "a.example\r\nab\r\nb.example\r\n");
}

}  // namespace
}  // namespace zendrel::test
