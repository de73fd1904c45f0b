// Closing the main window and the password fields, in this process: the end
// of the program is observed through the test hook instead of ending it.
#include <windows.h>

#include <gtest/gtest.h>

#include "end_program.h"
#include "settings_fixture.h"
#include "window_driver.h"

namespace zendrel::test {
namespace {

// Digests of the trimmed passwords, as any MD5 gives them.
constexpr char kS3cretDigest[] = "33e1b232a4e6fa0028a6670753749a17";    // "s3cret"
constexpr char kPasswordDigest[] = "5f4dcc3b5aa765d61d8327deb882cf99";  // "password"
constexpr char kOldDigest[] = "0123456789abcdef0123456789abcdef";

std::string Sz(const std::string& text) {
    return text + '\0';
}

class LifecycleTest : public SettingsFixture {
  protected:
    void SetUp() override {
        SettingsFixture::SetUp();
        SetEndProgramHookForTesting([this] { ++ends_; });
    }
    void TearDown() override {
        SetEndProgramHookForTesting({});
        SettingsFixture::TearDown();
    }

    // Replaces the whole text of a box as a user does: select all, type.
    static void Retype(const TextBox& box, std::wstring_view text) {
        SendMessageW(box.Hwnd(), EM_SETSEL, 0, -1);
        SendMessageW(box.Hwnd(), WM_CHAR, VK_BACK, 1);
        TypeChars(box.Hwnd(), text);
    }

    void StoreOldPassword() {
        SetValue(HKEY_LOCAL_MACHINE, "config", REG_SZ, Sz(kOldDigest));
        SetValue(HKEY_LOCAL_MACHINE, "hint", REG_SZ, Sz("old hint"));
    }

    // A window whose password settings are loaded (the dialog is the child
    // tests' business) and whose other settings are loaded as on opening.
    std::unique_ptr<MainFrm> WindowWithStoredPassword() {
        auto window = std::make_unique<MainFrm>(Folder(), 96);
        EXPECT_TRUE(window->LoadPasswordSettings());
        window->LoadApprovedSites();
        window->LoadRequestedSites();
        window->LoadActivityLogging();
        window->LoadMode();
        return window;
    }

    void ExpectPassword(const std::string& config, const std::string& hint) {
        EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "config").bytes, Sz(config));
        EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "hint").bytes, Sz(hint));
    }

    int ends_ = 0;
};

TEST_F(LifecycleTest, EveryWayOfClosingAsksAndCancelKeepsTheWindowAsItWas) {
    WriteUrls("a.example\r\nb.example\r\n");
    auto window = OpenWindow();
    window->txtAddSite.SetText(L"typed.example");
    MessageBoxAnswerer answerer({IDCANCEL, IDCANCEL, IDCANCEL});
    Click(window->Control(kIdBtnClose));
    SendMessageW(window->Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box
    SetFocus(window->txtAddSite.Hwnd());
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
    EXPECT_EQ(window->listApproved.Items(),
              (std::vector<std::wstring>{L"a.example", L"b.example"}));
    EXPECT_EQ(window->txtAddSite.Text(), L"typed.example");
    EXPECT_EQ(ends_, 0);
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").exists);
}

TEST_F(LifecycleTest, NoEndsWithoutSavingButTheUserSwitchIsAlreadyStored) {
    WriteUrls("a.example\r\n");
    auto window = OpenWindow();
    Click(window->chkEnable.Hwnd());
    Click(window->chkLogging.Hwnd());
    window->listApproved.AddItem(L"b.example");
    MessageBoxAnswerer answerer({IDNO});
    Click(window->Control(kIdBtnClose));
    EXPECT_EQ(ends_, 1);
    EXPECT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(ReadUrls(), "a.example\r\n");
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").exists);
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "config").exists);
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, std::string("\1\0\0\0", 4));
}

TEST_F(LifecycleTest, YesSavesEverySettingAndANewPasswordThenEnds) {
    auto window = OpenWindow();
    window->listApproved.AddItem(L"kept.example");
    Click(window->chkLogging.Hwnd());
    Click(window->chkPwd.Hwnd());
    Retype(window->txtPwd, L"  s3cret ");
    Retype(window->txtPwdConfirm, L"  s3cret ");
    Retype(window->txtHint, L" a hint ");
    MessageBoxAnswerer answerer({IDYES});
    Click(window->Control(kIdBtnClose));
    EXPECT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(ends_, 1);
    EXPECT_EQ(ReadUrls(), "kept.example\r\n");
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").bytes, std::string("\1\0\0\0", 4));
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "requests").type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, std::string(4, '\0'));
    ExpectPassword(kS3cretDigest, "a hint");
}

TEST_F(LifecycleTest, ARefusedUrlsFileOnYesIsReportedOnceAndTheRestIsSaved) {
    WriteUrls("a.example\r\n");
    auto window = OpenWindow();
    Click(window->chkLogging.Hwnd());
    HANDLE held =
        CreateFileW(UrlsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    MessageBoxAnswerer answerer({IDYES});
    Click(window->Control(kIdBtnClose));
    CloseHandle(held);
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[1].title, L"System Permissions Required");
    EXPECT_EQ(answerer.Seen()[1].text, kPermissionsText);
    EXPECT_EQ(ends_, 1);
    EXPECT_EQ(ReadUrls(), "a.example\r\n");
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").bytes, std::string("\1\0\0\0", 4));
    EXPECT_TRUE(GetValue(HKEY_LOCAL_MACHINE, "requests").exists);
    ExpectPassword("", "");
}

TEST_F(LifecycleTest, AnUnconfirmedNewPasswordSavesNothingAndKeepsTheWindow) {
    auto window = OpenWindow();
    Click(window->chkLogging.Hwnd());
    Click(window->chkPwd.Hwnd());
    Retype(window->txtPwd, L"s3cret");
    Retype(window->txtPwdConfirm, L"s3cre");
    MessageBoxAnswerer answerer({IDYES, IDOK});
    Click(window->Control(kIdBtnClose));
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[1].title, L"Confirm Password");
    EXPECT_EQ(answerer.Seen()[1].icon, 48);
    EXPECT_EQ(ends_, 0);
    EXPECT_TRUE(IsWindow(window->Hwnd()));
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").exists);
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "config").exists);
    EXPECT_EQ(window->txtPwd.SelLength(), 6);
}

TEST_F(LifecycleTest, UnreadablePasswordSettingsEndTheProgramWithTheLoadReport) {
    StoreOldPassword();
    machineKey_->Deny(KEY_READ);
    MessageBoxAnswerer answerer;
    auto window = std::make_unique<MainFrm>(Folder(), 96);
    window->Show();
    machineKey_->Restore();
    EXPECT_EQ(ends_, 1);
    EXPECT_FALSE(IsWindowVisible(window->Hwnd()));
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].title, L"Load Settings Error");
    EXPECT_EQ(answerer.Seen()[0].text,
              Report(L"Error occurred trying to load settings: ",
                     L"Permission denied: the settings key cannot be read", 70));
    EXPECT_EQ(window->listApproved.ListCount(), 0);
}

TEST_F(LifecycleTest, AStoredPasswordShowsThePlaceholderAndStaysUnlessRetyped) {
    StoreOldPassword();
    auto window = WindowWithStoredPassword();
    EXPECT_EQ(window->chkPwd.Value(), 1);
    EXPECT_EQ(window->txtPwd.Text(), L"password");
    EXPECT_EQ(window->txtPwdConfirm.Text(), L"password");
    EXPECT_EQ(window->txtHint.Text(), L"old hint");
    EXPECT_EQ(window->savedDigest, L"0123456789abcdef0123456789abcdef");
    // A changed hint alone is not saved while the password is unchanged.
    Retype(window->txtHint, L"new hint");
    window->SavePasswordSettings();
    ExpectPassword(kOldDigest, "old hint");
    // Typed by the user, "password" is a password like any other.
    Retype(window->txtPwd, L"password");
    window->SavePasswordSettings();
    ExpectPassword(kPasswordDigest, "new hint");
}

TEST_F(LifecycleTest, ClearingTheBoxOrThePasswordRemovesIt) {
    StoreOldPassword();
    auto window = WindowWithStoredPassword();
    window->chkPwd.SetValue(0);
    window->SavePasswordSettings();
    ExpectPassword("", "");
    EXPECT_EQ(window->savedDigest, L"0123456789abcdef0123456789abcdef");

    StoreOldPassword();
    window->chkPwd.SetValue(1);
    Retype(window->txtPwd, L"");
    window->SavePasswordSettings();
    ExpectPassword("", "");
    EXPECT_EQ(window->savedDigest, L"");
}

TEST_F(LifecycleTest, ARefusedPasswordWriteIsReported) {
    auto window = OpenWindow();
    Click(window->chkPwd.Hwnd());
    Retype(window->txtPwd, L"s3cret");
    machineKey_->Deny(KEY_WRITE);
    MessageBoxAnswerer answerer;
    window->BeginSave();
    window->SavePasswordSettings();
    machineKey_->Restore();
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].title, L"System Permissions Required");
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "config").exists);
}

}  // namespace
}  // namespace zendrel::test
