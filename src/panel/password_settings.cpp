// The password fields of the main window and the stored digest and hint.
//
// Settings key Software\Orvantix\Zendrel under HKEY_LOCAL_MACHINE:
//   "config"  REG_SZ  digest text of the trimmed password; empty: no password
//   "hint"    REG_SZ  the trimmed hint
// The password itself is never stored. While a stored password is unchanged
// both password boxes hold the placeholder "password".
#include <windows.h>

#include "cmd5.h"
#include "failure_report.h"
#include "main_frm.h"
#include "registry_wrapper.h"
#include "text.h"

namespace zendrel {

namespace {

constexpr wchar_t kPlaceholder[] = L"password";
constexpr std::int32_t kRegSz = REG_SZ;

}  // namespace

bool MainFrm::LoadPasswordSettings() {
    RegistryWrapper key = SettingsKey(kHkeyLocalMachine);
    if (!key.KeyExists()) key.CreateKey();
    // A key that can be neither read nor made may hold a password that the
    // reads below would miss: opening without asking for it is not an option.
    if (!key.KeyExists())
        throw Failure(kPermissionDenied, L"Permission denied: the settings key cannot be read",
                      L"ZendrelPanel");
    savedDigest = key.GetRegistryValue(L"config").ToText();
    savedHint = key.GetRegistryValue(L"hint").ToText();
    if (!savedDigest.empty()) {
        txtPwd.SetText(kPlaceholder);
        txtPwdConfirm.SetText(kPlaceholder);
        txtHint.SetText(key.GetRegistryValue(L"hint").ToText());
    }
    bool passwordSet = !txtPwd.Text().empty();
    chkPwd.SetValue(passwordSet ? 1 : 0);
    return passwordSet;
}

bool MainFrm::PasswordUnchanged() const {
    // The placeholder stands for the stored password only until the user types
    // in the box: a new password that happens to be "password" is a password.
    return txtPwd.Text() == kPlaceholder && !txtPwd.Modified();
}

bool MainFrm::NewPasswordUnconfirmed() const {
    if (chkPwd.Value() != 1 || PasswordUnchanged()) return false;
    std::wstring password = txtPwd.Text();
    return !password.empty() && password != txtPwdConfirm.Text();
}

void MainFrm::SavePasswordSettings() {
    try {
        RegistryWrapper key = SettingsKey(kHkeyLocalMachine);
        std::wstring digest, hint;
        if (chkPwd.Value() == 1) {
            if (PasswordUnchanged()) return;  // the stored password and hint stay in force
            std::wstring password = txtPwd.Text();
            if (!password.empty()) {
                savedDigest = CMD5().MD5(TrimSpaces(password));
                savedHint = TrimSpaces(txtHint.Text());
            } else {
                savedDigest.clear();
                savedHint.clear();
            }
            digest = savedDigest;
            hint = savedHint;
        }
        if (!key.KeyExists()) key.CreateKey();
        // A refused "config" leaves "hint" alone too: the pair stays as it was.
        if (!key.SetRegistryValue(L"config", Variant(digest), kRegSz) ||
            !key.SetRegistryValue(L"hint", Variant(hint), kRegSz))
            ReportRefusedWrite();
    } catch (...) {
        Failure failure = CurrentFailure();
        if (failure.Number() == kPermissionDenied) {
            ReportRefusedWrite();
            return;
        }
        ShowFailureReport(hwnd_,
                          L"Error occurred trying to save your password settings, if you had a "
                          L"previous password \r\nit is still in effect, details of the error "
                          L"follow: ",
                          L"Save Settings Error", failure);
    }
}

void MainFrm::chkPwd_Click() {
    // Checking or clearing the box with no password typed invites one. While
    // the window is still hidden the focus cannot move: that is no failure.
    if (txtPwd.Text().empty()) ::SetFocus(txtPwd.Hwnd());
}

void MainFrm::txtPwd_GotFocus() {
    SelectAll(txtPwd);
}

void MainFrm::txtPwdConfirm_GotFocus() {
    SelectAll(txtPwdConfirm);
}

void MainFrm::SelectAll(TextBox& box) {
    box.SetSelStart(0);
    box.SetSelLength(static_cast<int>(box.Text().size()));
}

}  // namespace zendrel
