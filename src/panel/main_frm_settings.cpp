// Between the store and the controls: the settings shown when the window
// opens, the settings the controls hold when it saves, the password fields,
// the immediate save of the per-user switch, and what the user is told of
// each save.
#include "failure_report.h"
#include "main_frm.h"

namespace zendrel {

namespace {

constexpr wchar_t kSaveErrorTitle[] = L"Save Settings Error";

const wchar_t* SaveIntroduction(Setting setting) {
    switch (setting) {
        case Setting::ApprovedSites:
            return L"Error occurred trying to save approved site settings: ";
        case Setting::RequestedSites:
            return L"Error occurred trying to save requested url settings: ";
        case Setting::ActivityLogging:
            return L"Error occurred trying to save logging settings: ";
        case Setting::Mode:
            return L"Error occurred trying to save mode settings: ";
        case Setting::Password:
            break;
    }
    return L"Error occurred trying to save your password settings, if you had a previous "
           L"password \r\nit is still in effect, details of the error follow: ";
}

}  // namespace

void MainFrm::ShowSettings(Settings& settings) {
    auto enable = [this](std::initializer_list<int> ids, bool on) {
        for (int id : ids) EnableWindow(Control(id), on ? TRUE : FALSE);
    };
    enable({kIdListApproved, kIdTxtAddSite, kIdBtnAdd, kIdBtnRemove},
           settings.approvedSites.has_value());
    enable({kIdListRequested, kIdBtnApprove, kIdBtnDeny, kIdBtnReview},
           settings.requestedSites.has_value());
    enable({kIdChkLogging}, settings.activityLogging.has_value());
    // The lists take the rows themselves: a long list is not copied.
    if (settings.approvedSites) listApproved.AddItems(std::move(*settings.approvedSites));
    if (settings.requestedSites) listRequested.AddItems(std::move(*settings.requestedSites));
    if (settings.activityLogging) chkLogging.SetValue(*settings.activityLogging ? 1 : 0);
    // A change of the box raises chkEnable_Click, which writes the value back.
    if (settings.mode) chkEnable.SetValue(*settings.mode ? 1 : 0);
}

void MainFrm::ShowPassword(const PasswordSetting& password) {
    if (!password.digest.empty()) {
        txtPwd.SetText(kPasswordPlaceholder);
        txtPwdConfirm.SetText(kPasswordPlaceholder);
        txtHint.SetText(password.hint);
    }
    chkPwd.SetValue(password.digest.empty() ? 0 : 1);
}

PasswordFields MainFrm::CurrentPasswordFields() const {
    return {chkPwd.Value() == 1,      txtPwd.Text(), txtPwd.Modified(), txtPwdConfirm.Text(),
            txtPwdConfirm.Modified(), txtHint.Text()};
}

Settings MainFrm::CurrentSettings() const {
    Settings current;
    // The approved rows are handed to the store by SaveApprovedSites without
    // a copy; a save of the requests needs only what was removed.
    if (loaded_.approvedSites) current.approvedSites.emplace();
    current.loadedUrlsBytes = loaded_.loadedUrlsBytes;
    if (loaded_.requestedSites) current.requestedSites.emplace();
    current.removedRequests = removedRequests_;
    if (loaded_.activityLogging) current.activityLogging = chkLogging.Value() == 1;
    if (loaded_.mode) current.mode = chkEnable.Value() == 1;
    current.password = PasswordToSave(CurrentPasswordFields());
    return current;
}

void MainFrm::chkEnable_Click() {
    // The box now shows a choice (the user's, or the value the load just
    // read), so "mode" is the window's to save, even after a failed load.
    loaded_.mode = chkEnable.Value() == 1;
    close_.BeginSave();
    ReportOutcome(Setting::Mode, store_.SaveMode(*loaded_.mode));
}

void MainFrm::ReportOutcome(Setting setting, const Outcome& outcome) {
    if (outcome.kind == Outcome::Kind::Refused) {
        if (!close_.RefusalShown()) ShowPermissionsMessage();
    } else if (outcome.kind == Outcome::Kind::Failed) {
        ShowFailureReport(Hwnd(), SaveIntroduction(setting), kSaveErrorTitle, *outcome.failure);
    }
}

void MainFrm::ShowPermissionsMessage() {
    close_.NoteRefusalShown();
    MessageBoxW(Hwnd(),
                L"You currently don't have the proper system permissions to save settings, "
                L"please be sure to log in with an \r\n"
                L"administrative account (a user with full access) to save Zendrel settings.",
                L"System Permissions Required", MB_OK | MB_ICONHAND);
}

bool MainFrm::RefuseEntry(TextBox& box, const wchar_t* text, const wchar_t* title) {
    MessageBoxW(Hwnd(), text, title, MB_OK | MB_ICONEXCLAMATION);
    box.SetFocus();
    SelectAll(box);
    return false;
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
