// Opening and closing the main window: the password gate and the loaders when
// it opens, the "Save Changes" question whenever it is about to close, and
// the save of every setting.
#include "ansi.h"
#include "failure_report.h"
#include "main_frm.h"
#include "msgbox_ex.h"
#include "pwd_frm.h"

namespace zendrel {

namespace {

constexpr wchar_t kLoadIntroduction[] = L"Error occurred trying to load settings: ";
constexpr wchar_t kLoadTitle[] = L"Load Settings Error";

}  // namespace

void MainFrm::Form_Load() {
    try {
        // The store gives the administrator's held digest when there is one.
        storedPassword_ = store_.LoadPassword();
        other_.LoadHeldState();
    } catch (...) {
        // A password may be stored that could not be read: the settings stay closed.
        ShowFailureReport(Hwnd(), kLoadIntroduction, kLoadTitle, CurrentFailure());
        EndProgram();
        return;
    }
    other_.ShowPassword(storedPassword_);
    if (!storedPassword_.digest.empty()) {
        session_.Close().On(CloseEvent::PasswordAsked);  // no close may ask anything meanwhile
        pwdFrm dialog;
        dialog.Hint = storedPassword_.hint;
        dialog.Digest = storedPassword_.digest;
        int answer = 0;
        try {
            answer = dialog.DisplayDialog(Hwnd());
        } catch (...) {
            session_.Close().On(CloseEvent::Interrupted);
            throw;
        }
        if (answer != 1) {
            EndProgram();
            return;
        }
        session_.Close().On(CloseEvent::PasswordGiven);
    }
    LoadResult loaded = store_.Load();
    session_.Load(std::move(loaded.settings));
    ShowSettings();
    other_.ShowHeldState();
    if (loaded.failure) ShowFailureReport(Hwnd(), kLoadIntroduction, kLoadTitle, *loaded.failure);
    StartWatching();
}

bool MainFrm::Form_QueryUnload() {
    int answer = MsgBoxEx(Hwnd(), L"Would you like to save your changes?",
                          MB_YESNOCANCEL | MB_ICONQUESTION, L"Save Changes", 50, 250, nullptr);
    if (answer == IDYES) {
        PasswordFields password = other_.CurrentPasswordFields();
        // Nothing is saved: a password the user never confirmed would lock
        // the settings with a text nobody may know.
        if (NewPasswordUnconfirmed(password)) {
            RefuseEntry(Hwnd(), other_.PasswordBox(),
                        L"The password and the confirmation password are not the same.\r\n"
                        L"Nothing has been saved. Please type the new password again in both "
                        L"boxes, then close the window to save.",
                        L"Confirm Password");
            CloseStep(CloseEvent::EntryRefused);
            return false;
        }
        // "hint" is ANSI text: other letters would be stored as "?".
        std::optional<PasswordSetting> saved = PasswordToSave(password);
        if (saved && !FitsAnsi(saved->hint)) {
            RefuseEntry(Hwnd(), other_.HintBox(),
                        L"The hint has characters that Zendrel cannot store on this "
                        L"computer.\r\nNothing has been saved. Please type the hint with "
                        L"other letters, then close the window to save.",
                        L"Password Hint");
            CloseStep(CloseEvent::EntryRefused);
            return false;
        }
        CloseStep(CloseEvent::AnsweredYes);
        SaveAllSettings();
        return session_.Close().Ended();  // false only when the save's own failure handler ran
    }
    if (answer == IDNO) {
        CloseStep(CloseEvent::AnsweredNo);
        return true;
    }
    CloseStep(CloseEvent::AnsweredCancel);
    return false;
}

void MainFrm::btnClose_Click() {
    try {
        Unload();
    } catch (...) {
        ShowFailureReport(Hwnd(), L"Error occurred trying to close the window: ",
                          L"Window Close Error", CurrentFailure());
    }
}

void MainFrm::Unload() {
    // A close under way answers for this one too.
    if (session_.Close().On(CloseEvent::CloseAsked) == CloseAction::Ask) AskToClose();
}

bool MainFrm::QueryEndSession() {
    if (session_.Close().On(CloseEvent::SessionEndAsked) != CloseAction::Ask) return false;  // not now
    return AskToClose();
}

bool MainFrm::AskToClose() {
    try {
        return Form_QueryUnload();
    } catch (...) {
        session_.Close().On(CloseEvent::Interrupted);
        throw;
    }
}

void MainFrm::SaveAllSettings() {
    try {
        SaveSettings();
    } catch (...) {
        ShowFailureReport(Hwnd(), L"Error occurred trying to save settings: ",
                          L"Save Settings Error", CurrentFailure());
        CloseStep(CloseEvent::SaveFailed);
        return;
    }
    CloseStep(CloseEvent::Saved);
}

void MainFrm::CloseStep(CloseEvent event) {
    switch (session_.Close().On(event)) {
        case CloseAction::End:
            if (Hwnd()) DestroyWindow(Hwnd());
            break;
        case CloseAction::Stay:
            HandlePendingChanges();
            break;
        default:
            break;
    }
}

void MainFrm::SaveSettings() {
    session_.Close().BeginSave();
    Settings current = CurrentSettings();
    other_.KeepHeldSettings(current);
    std::vector<std::wstring> scratch;
    for (Setting setting : kSaveOrder) {
        Outcome outcome = Outcome::Skipped();
        if (setting != Setting::ApprovedSites)
            outcome = store_.Save(setting, current);
        else if (session_.Loaded(Setting::ApprovedSites))  // the list's own rows: no copy
            outcome = store_.SaveApprovedSites(approved_.Rows(scratch), session_.LoadedUrlsBytes());
        ReportOutcome(setting, outcome);
    }
}

void MainFrm::EndProgram() {
    CloseStep(CloseEvent::EndAsked);
}

}  // namespace zendrel
