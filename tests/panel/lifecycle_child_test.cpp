// The whole road in the real program: the password gate when it opens, and
// the question when it closes. ZendrelPanel.exe runs as a child process.
#include <windows.h>

#include <gtest/gtest.h>

#include "child_program.h"

namespace zendrel::test {
namespace {

constexpr wchar_t kDialogCaption[] = L"Enter Password to Access Zendrel Settings";
constexpr int kIdDialogHint = 1001;
constexpr int kIdDialogPassword = 1004;
constexpr char kSecretDigest[] = "5ebe2294ecd0e0f08eab7690d2a6ee69";  // MD5 of "secret"

class LifecycleChildTest : public ChildProgramTest {
  protected:
    void StorePassword() {
        SetValue(HKEY_LOCAL_MACHINE, "config", REG_SZ, std::string(kSecretDigest) + '\0');
        SetValue(HKEY_LOCAL_MACHINE, "hint", REG_SZ, std::string("the usual\0", 10));
    }

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

    void ExpectStoredPasswordUnchanged() {
        EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "config").bytes, std::string(kSecretDigest) + '\0');
        EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "hint").bytes, std::string("the usual\0", 10));
    }
};

TEST_F(LifecycleChildTest, TheRightPasswordOpensTheWindow) {
    StorePassword();
    Start(L"");
    HWND dialog = WaitForPasswordDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, kIdDialogHint)), L"Hint: the usual");
    EXPECT_TRUE(MainWindows(process_.dwProcessId).empty());
    SendMessageW(GetDlgItem(dialog, kIdDialogPassword), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(L"  secret "));
    PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    HWND window = WaitForMainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(SendMessageW(GetDlgItem(window, kIdChkPwd), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(TextOf(GetDlgItem(window, kIdTxtHint)), L"the usual");
    PostMessageW(window, WM_CLOSE, 0, 0);
    AnswerSaveChanges(IDNO);
    ExpectProgramEnds(false);
    ExpectStoredPasswordUnchanged();
}

TEST_F(LifecycleChildTest, APasswordTypedIntoOneBoxOnlyReplacesNothing) {
    StorePassword();
    Start(L"");
    HWND dialog = WaitForPasswordDialog();
    ASSERT_NE(dialog, nullptr);
    SendMessageW(GetDlgItem(dialog, kIdDialogPassword), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(L"secret"));
    PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    HWND window = WaitForMainWindow();
    ASSERT_NE(window, nullptr);
    // Typed over the placeholder, "password" matches the one left in the
    // confirmation box: that is no confirmation.
    HWND password = GetDlgItem(window, kIdTxtPwd);
    SendMessageW(password, EM_SETSEL, 0, -1);
    for (wchar_t c : std::wstring(L"password")) SendMessageW(password, WM_CHAR, c, 1);
    PostMessageW(window, WM_CLOSE, 0, 0);
    BoxInfo question = NextBox();
    EXPECT_EQ(question.title, L"Save Changes");
    PressButton(question.hwnd, IDYES);
    BoxInfo box = NextBox(question.hwnd);
    EXPECT_EQ(box.title, L"Confirm Password");
    // A close that comes while the message is up asks nothing.
    PostMessageW(window, WM_CLOSE, 0, 0);
    auto otherBox = [&](HWND hwnd) { return hwnd != box.hwnd && IsMessageBox(hwnd); };
    for (DWORD waited = 0; waited < 500; waited += 20) {
        ASSERT_EQ(FindProcessWindow(process_.dwProcessId, otherBox), nullptr)
            << "a close while the message was up asked again";
        Sleep(20);
    }
    PressButton(box.hwnd, IDOK);
    // The window stays open, and asks nothing more.
    EXPECT_EQ(WaitForSingleObject(process_.hProcess, 1000), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(FindMessageBox(process_.dwProcessId), nullptr);
    ExpectStoredPasswordUnchanged();
    PostMessageW(window, WM_CLOSE, 0, 0);
    AnswerSaveChanges(IDNO);
    ExpectProgramEnds(false);
}

TEST_F(LifecycleChildTest, CancelEscAndTheCloseBoxEndTheProgramUnopened) {
    StorePassword();
    const std::pair<const char*, void (*)(HWND)> refusals[] = {
        {"Cancel", [](HWND d) { PostMessageW(GetDlgItem(d, IDCANCEL), BM_CLICK, 0, 0); }},
        {"Esc",
         [](HWND d) {
             HWND entry = GetDlgItem(d, kIdDialogPassword);
             PostMessageW(entry, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
             PostMessageW(entry, WM_KEYUP, VK_ESCAPE, 0xC0010001);
         }},
        {"close box", [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (auto [name, refuse] : refusals) {
        SCOPED_TRACE(name);
        Start(L"");
        HWND dialog = WaitForPasswordDialog();
        ASSERT_NE(dialog, nullptr);
        refuse(dialog);
        ExpectProgramEnds();  // no settings loaded: the user's key was never made
        EXPECT_TRUE(MainWindows(process_.dwProcessId).empty());
        ExpectStoredPasswordUnchanged();
        EXPECT_EQ(ReadUrls(), "");
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
    }
}

TEST_F(LifecycleChildTest, UnreadablePasswordSettingsKeepTheWindowClosed) {
    StorePassword();
    machineKey_->Deny(KEY_READ);
    Start(L"");
    BoxInfo box = NextBox();
    ASSERT_NE(box.hwnd, nullptr);
    EXPECT_EQ(box.title, L"Load Settings Error");
    EXPECT_EQ(box.text.rfind(L"Error occurred trying to load settings: \r\n", 0), 0u) << box.text;
    EXPECT_NE(box.icon, 0);
    EXPECT_TRUE(MainWindows(process_.dwProcessId).empty());
    PressButton(box.hwnd, IDOK);
    ExpectProgramEnds();
    machineKey_->Restore();
    ExpectStoredPasswordUnchanged();
}

TEST_F(LifecycleChildTest, YesSavesEverySettingAndEnds) {
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, std::string("asked.example\0\0", 15));
    Start(L"");
    HWND window = WaitForMainWindow();
    ASSERT_NE(window, nullptr);
    SendMessageW(GetDlgItem(window, kIdTxtAddSite), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(L"new.example"));
    SendMessageW(GetDlgItem(window, kIdBtnAdd), BM_CLICK, 0, 0);
    SendMessageW(GetDlgItem(window, kIdChkLogging), BM_CLICK, 0, 0);
    PostMessageW(GetDlgItem(window, kIdBtnClose), BM_CLICK, 0, 0);
    AnswerSaveChanges(IDYES);
    ExpectProgramEnds(false);
    std::string urls;
    {
        HANDLE file = CreateFileW((programFolder_ + L"\\urls.txt").c_str(), GENERIC_READ, 0,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        char buffer[256];
        DWORD got = 0;
        ReadFile(file, buffer, sizeof(buffer), &got, nullptr);
        CloseHandle(file);
        urls.assign(buffer, got);
    }
    EXPECT_EQ(urls, "child.example\r\nnew.example\r\n");
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").bytes, std::string("\1\0\0\0", 4));
    StoredValue requests = GetValue(HKEY_LOCAL_MACHINE, "requests");
    EXPECT_EQ(requests.type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(requests.bytes, std::string("asked.example\0\0", 15));  // untouched
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, std::string(4, '\0'));
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "config").bytes, std::string(1, '\0'));
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "hint").bytes, std::string(1, '\0'));
}

}  // namespace
}  // namespace zendrel::test
