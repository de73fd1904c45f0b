// The switches and the password of "Other Settings": what they show when the
// window opens, what they hold when it saves, the switch saved the moment it
// changes, and the merge of switches changed outside while the window is open.
#include "other_pane.h"

#include "main_layout.h"
#include "messages.h"
#include "resource.h"

namespace zendrel {

void OtherPane::Bind() {
    txtPwd = TextBox(host_.Control(kIdTxtPwd));
    txtPwdConfirm = TextBox(host_.Control(kIdTxtPwdConfirm));
    txtHint = TextBox(host_.Control(kIdTxtHint));
    chkEnable = CheckBox(host_.Control(kIdChkEnable));
    chkLogging = CheckBox(host_.Control(kIdChkLogging));
    chkPwd = CheckBox(host_.Control(kIdChkPwd));
    AddAccountsEntry();
}

void OtherPane::ShowSettings(const Settings& settings) {
    EnableWindow(chkLogging.Hwnd(), settings.activityLogging ? TRUE : FALSE);
    if (settings.activityLogging) chkLogging.SetValue(*settings.activityLogging ? 1 : 0);
    // A change of the box raises chkEnable_Click, which writes the value back.
    if (settings.mode) chkEnable.SetValue(*settings.mode ? 1 : 0);
}

void OtherPane::ShowPassword(const PasswordSetting& password) {
    if (!password.digest.empty()) {
        txtPwd.SetText(kPasswordPlaceholder);
        txtPwdConfirm.SetText(kPasswordPlaceholder);
        txtHint.SetText(password.hint);
    }
    chkPwd.SetValue(password.digest.empty() ? 0 : 1);
}

PasswordFields OtherPane::CurrentPasswordFields() const {
    return {chkPwd.Value() == 1,      txtPwd.Text(), txtPwd.Modified(), txtPwdConfirm.Text(),
            txtPwdConfirm.Modified(), txtHint.Text()};
}

void OtherPane::RefreshActivityLogging() {
    if (!host_.Session().Loaded(Setting::ActivityLogging)) return;
    bool stored = false;
    try {
        stored = host_.Store().LoadActivityLogging();
    } catch (...) {
        return;
    }
    if (std::optional<bool> shown = host_.Session().MergeLogging(stored, Logging()))
        chkLogging.SetValue(*shown ? 1 : 0);
}

void OtherPane::RefreshMode() {
    if (!host_.Session().Loaded(Setting::Mode)) return;
    bool stored = false;
    try {
        stored = host_.Store().LoadMode();
    } catch (...) {
        return;
    }
    // Shown without the box's Click, which would store it once more.
    if (std::optional<bool> shown = host_.Session().MergeMode(stored))
        SendMessageW(chkEnable.Hwnd(), BM_SETCHECK, *shown ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool OtherPane::OnCommand(int id, int code) {
    bool clicked = code == BN_CLICKED;  // also STN_CLICKED, which has the same value
    switch (id) {
        case kIdChkEnable:
            if (clicked) chkEnable_Click();
            return true;
        case kIdChkPwd:
            if (clicked) chkPwd_Click();
            return true;
        case kIdTxtPwd:
            if (code == EN_SETFOCUS) txtPwd_GotFocus();
            return true;
        case kIdTxtPwdConfirm:
            if (code == EN_SETFOCUS) txtPwdConfirm_GotFocus();
            return true;
        case kIdLinkViewLog:
            if (clicked) linkViewLog_Click();
            return true;
        case kIdLblLink:
            if (clicked) lblLink_Click();
            return true;
        case kCmdHelp:
            lblLink_Click();
            return true;
        case kCmdViewLog:
            linkViewLog_Click();
            return true;
        default:
            return false;
    }
}

std::optional<LRESULT> OtherPane::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (std::optional<LRESULT> held = HandleHeldMessage(msg, wParam, lParam)) return held;
    return HandleLinkMessage(msg, wParam, lParam);
}

void OtherPane::chkEnable_Click() {
    // The box now shows a choice (the user's, or the value the load just
    // read), so "mode" is the window's to save, even after a failed load.
    host_.SaveModeNow(Mode());
}

void OtherPane::chkPwd_Click() {
    // Checking or clearing the box with no password typed invites one. While
    // the window is still hidden the focus cannot move: that is no failure.
    if (txtPwd.Text().empty()) ::SetFocus(txtPwd.Hwnd());
}

void OtherPane::txtPwd_GotFocus() {
    txtPwd.SelectAll();
}

void OtherPane::txtPwdConfirm_GotFocus() {
    txtPwdConfirm.SelectAll();
}

}  // namespace zendrel
