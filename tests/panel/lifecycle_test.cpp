// Closing the main window and the password fields, in this process: the end
// of the program is the window's end, which the program's message loop
// would follow by ending.
#include <windows.h>

#include <gtest/gtest.h>

#include "panel_fixture.h"
#include "window_driver.h"

namespace zendrel::test {
namespace {

// Digests of the trimmed passwords, as any MD5 gives them.
constexpr char kS3cretDigest[] = "33e1b232a4e6fa0028a6670753749a17";  // "s3cret"
constexpr char kOldDigest[] = "0123456789abcdef0123456789abcdef";

std::string Sz(const std::string& text) {
    return text + '\0';
}

class LifecycleTest : public PanelFixture {
  protected:
    // Replaces the whole text of a box as a user does: select all, type.
    static void Retype(TextBox box, std::wstring_view text) {
        SendMessageW(box.Hwnd(), EM_SETSEL, 0, -1);
        SendMessageW(box.Hwnd(), WM_CHAR, VK_BACK, 1);
        TypeChars(box.Hwnd(), text);
    }

    void StoreOldPassword() {
        SetValue(HKEY_LOCAL_MACHINE, "config", REG_SZ, Sz(kOldDigest));
        SetValue(HKEY_LOCAL_MACHINE, "hint", REG_SZ, Sz("old hint"));
    }

    void ExpectPassword(const std::string& config, const std::string& hint) {
        EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "config").bytes, Sz(config));
        EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "hint").bytes, Sz(hint));
    }
};

TEST_F(LifecycleTest, EveryWayOfClosingAsksAndCancelKeepsTheWindowAsItWas) {
    WriteUrls("a.example\r\nb.example\r\n");
    auto window = OpenWindow();
    TxtAddSite(*window).SetText(L"typed.example");
    MessageBoxAnswerer answerer({IDCANCEL, IDCANCEL, IDCANCEL});
    Click(window->Control(kIdBtnClose));
    SendMessageW(window->Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box
    SetFocus(TxtAddSite(*window).Hwnd());
    PostKeyPress(VK_F4, true);  // Alt+F4
    Pump(*window);
    ASSERT_EQ(answerer.Seen().size(), 3u);
    for (const BoxInfo& box : answerer.Seen()) {
        EXPECT_EQ(box.title, L"Save Changes");
        EXPECT_EQ(box.text, L"Would you like to save your changes?");
        EXPECT_EQ(box.icon, 32);
        EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO, IDCANCEL}));
        EXPECT_EQ(box.rect.left, 50);
        EXPECT_EQ(box.rect.top, 250);
    }
    ASSERT_TRUE(IsWindow(window->Hwnd()));
    EXPECT_TRUE(IsWindowVisible(window->Hwnd()));
    EXPECT_EQ(ListApproved(*window).Items(),
              (std::vector<std::wstring>{L"a.example", L"b.example"}));
    EXPECT_EQ(TxtAddSite(*window).Text(), L"typed.example");
    EXPECT_FALSE(window->Ended());
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").exists);
}

TEST_F(LifecycleTest, NoEndsWithoutSavingButTheUserSwitchIsAlreadyStored) {
    WriteUrls("a.example\r\n");
    auto window = OpenWindow();
    Click(ChkEnable(*window).Hwnd());
    Click(ChkLogging(*window).Hwnd());
    ListApproved(*window).AddItem(L"b.example");
    MessageBoxAnswerer answerer({IDNO});
    Click(window->Control(kIdBtnClose));
    EXPECT_TRUE(window->Ended());
    EXPECT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(ReadUrls(), "a.example\r\n");
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").exists);
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "config").exists);
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, std::string("\1\0\0\0", 4));
}

TEST_F(LifecycleTest, YesSavesEverySettingAndANewPasswordThenEnds) {
    auto window = OpenWindow();
    ListApproved(*window).AddItem(L"kept.example");
    Click(ChkLogging(*window).Hwnd());
    Click(ChkPwd(*window).Hwnd());
    Retype(TxtPwd(*window), L"  s3cret ");
    Retype(TxtPwdConfirm(*window), L"  s3cret ");
    Retype(TxtHint(*window), L" a hint ");
    MessageBoxAnswerer answerer({IDYES});
    Click(window->Control(kIdBtnClose));
    EXPECT_EQ(answerer.Seen().size(), 1u);
    EXPECT_TRUE(window->Ended());
    EXPECT_EQ(ReadUrls(), "kept.example\r\n");
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").bytes, std::string("\1\0\0\0", 4));
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "requests").exists);  // none approved or denied
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, std::string(4, '\0'));
    ExpectPassword(kS3cretDigest, "a hint");
}

TEST_F(LifecycleTest, ARefusedUrlsFileOnYesIsReportedOnceAndTheRestIsSaved) {
    WriteUrls("a.example\r\n");
    auto window = OpenWindow();
    Click(ChkLogging(*window).Hwnd());
    HANDLE held =
        CreateFileW(UrlsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    MessageBoxAnswerer answerer({IDYES, IDOK});
    Click(window->Control(kIdBtnClose));
    CloseHandle(held);
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[1].title, L"System Permissions Required");
    EXPECT_EQ(answerer.Seen()[1].text, kPermissionsText);
    EXPECT_TRUE(window->Ended());
    EXPECT_EQ(ReadUrls(), "a.example\r\n");
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").bytes, std::string("\1\0\0\0", 4));
    ExpectPassword("", "");
}

TEST_F(LifecycleTest, AnUnconfirmedNewPasswordSavesNothingAndKeepsTheWindow) {
    auto window = OpenWindow();
    Click(ChkLogging(*window).Hwnd());
    Click(ChkPwd(*window).Hwnd());
    Retype(TxtPwd(*window), L"s3cret");
    Retype(TxtPwdConfirm(*window), L"s3cre");
    MessageBoxAnswerer answerer({IDYES, IDOK});
    Click(window->Control(kIdBtnClose));
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[1].title, L"Confirm Password");
    EXPECT_EQ(answerer.Seen()[1].icon, 48);
    EXPECT_FALSE(window->Ended());
    EXPECT_TRUE(IsWindow(window->Hwnd()));
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").exists);
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "config").exists);
    EXPECT_EQ(TxtPwd(*window).SelLength(), 6);
}

TEST_F(LifecycleTest, UnreadablePasswordSettingsEndTheProgramWithTheLoadReport) {
    struct Case {
        bool denyRead;
        DWORD configType;
        std::wstring report;
    };
    const Case cases[] = {
        {true, REG_SZ,
         Report(L"Error occurred trying to load settings: ",
                L"Permission denied: the settings key cannot be read", 70)},
        {false, REG_QWORD,
         Report(L"Error occurred trying to load settings: ",
                L"Type mismatch: the stored password is not text", 13)},
    };
    for (const Case& c : cases) {
        SetValue(HKEY_LOCAL_MACHINE, "config", c.configType, Sz(kOldDigest));
        if (c.denyRead) machineKey_->Deny(KEY_READ);
        MessageBoxAnswerer answerer({IDOK});
        auto window = std::make_unique<MainFrm>(Folder(), 96);
        window->Show();
        machineKey_->Restore();
        EXPECT_TRUE(window->Ended());
        EXPECT_EQ(window->Hwnd(), nullptr);
        ASSERT_EQ(answerer.Seen().size(), 1u);
        EXPECT_EQ(answerer.Seen()[0].title, L"Load Settings Error");
        EXPECT_EQ(answerer.Seen()[0].text, c.report);
    }
}

TEST_F(LifecycleTest, AHintTheCodePageCannotHoldSavesNothingAndKeepsTheWindow) {
    auto window = OpenWindow();
    Click(ChkPwd(*window).Hwnd());
    Retype(TxtPwd(*window), L"s3cret");
    Retype(TxtPwdConfirm(*window), L"s3cret");
    Retype(TxtHint(*window), L"\u043a\u043e\u0442");  // Cyrillic: not in 1252
    MessageBoxAnswerer answerer({IDYES, IDOK});
    Click(window->Control(kIdBtnClose));
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[1].title, L"Password Hint");
    EXPECT_EQ(answerer.Seen()[1].icon, 48);
    EXPECT_FALSE(window->Ended());
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "config").exists);
    EXPECT_EQ(GetFocus(), window->Control(kIdTxtHint));
}

// While the question is open, closes arrive through its modal loop: from a
// task manager (WM_CLOSE) and from Windows ending the session.
class CloseWhileAsking {
  public:
    explicit CloseWhileAsking(HWND window) : window_(window) {
        self_ = this;
        hook_ = SetWindowsHookExW(WH_CBT, OnCbt, nullptr, GetCurrentThreadId());
    }
    ~CloseWhileAsking() {
        UnhookWindowsHookEx(hook_);
        self_ = nullptr;
    }
    CloseWhileAsking(const CloseWhileAsking&) = delete;
    CloseWhileAsking& operator=(const CloseWhileAsking&) = delete;
    LRESULT endSessionAnswer = -1;

  private:
    static LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_ACTIVATE && self_ && self_->endSessionAnswer == -1 &&
            ClassOf(reinterpret_cast<HWND>(wParam)) == L"#32770") {
            PostMessageW(self_->window_, WM_CLOSE, 0, 0);
            self_->endSessionAnswer = SendMessageW(self_->window_, WM_QUERYENDSESSION, 0, 0);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static inline CloseWhileAsking* self_ = nullptr;
    HWND window_;
    HHOOK hook_;
};

TEST_F(LifecycleTest, OneCloseAtATime) {
    auto window = OpenWindow();
    MessageBoxAnswerer answerer({IDCANCEL, IDCANCEL});
    {
        CloseWhileAsking closer(window->Hwnd());
        Click(window->Control(kIdBtnClose));
        Pump(*window);
        EXPECT_EQ(closer.endSessionAnswer, FALSE);
    }
    EXPECT_EQ(answerer.Seen().size(), 1u);
    EXPECT_FALSE(window->Ended());
    // Once the question is answered, a close asks again.
    SendMessageW(window->Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(answerer.Seen().size(), 2u);
}

TEST_F(LifecycleTest, ARefusedPasswordWriteIsReported) {
    auto window = OpenWindow();
    Click(ChkPwd(*window).Hwnd());
    Retype(TxtPwd(*window), L"s3cret");
    Retype(TxtPwdConfirm(*window), L"s3cret");
    machineKey_->Deny(KEY_WRITE);
    MessageBoxAnswerer answerer({IDYES, IDOK});
    Click(window->Control(kIdBtnClose));
    machineKey_->Restore();
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[1].title, L"System Permissions Required");
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "config").exists);
}

}  // namespace
}  // namespace zendrel::test
