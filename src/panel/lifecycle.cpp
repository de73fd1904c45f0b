// Opening and closing the main window: the password gate and the loaders when
// it opens, the "Save Changes" question whenever it is about to close, and
// the save of every setting.
#include "ansi.h"
#include "failure_report.h"
#include "main_frm.h"
#include "msgbox_ex.h"
#include "pwd_frm.h"
#include "resource.h"
#include "string_table.h"

namespace zendrel {

namespace {

void ShowLoadFailure(HWND owner, const Failure& failure) {
    ShowFailureReport(owner, LoadText(IDS_LOAD_ERROR), LoadText(IDS_LOAD_ERROR_TITLE), failure);
}

}  // namespace

void MainFrm::Form_Load() {
    try {
        // The store gives the administrator's held digest when there is one.
        storedPassword_ = store_.LoadPassword();
    } catch (...) {
        // A password may be stored that could not be read: the settings stay closed.
        ShowLoadFailure(Hwnd(), CurrentFailure());
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
    other_.LoadHeldState(loaded.holds);
    ShowSettings();
    other_.ShowHeldState();
    if (loaded.failure) ShowLoadFailure(Hwnd(), *loaded.failure);
}

bool MainFrm::Form_QueryUnload() {
    int answer = MsgBoxEx(Hwnd(), LoadText(IDS_SAVE_QUESTION), MB_YESNOCANCEL | MB_ICONQUESTION,
                          LoadText(IDS_SAVE_QUESTION_TITLE), 50, 250, nullptr);
    if (answer == IDYES) {
        // Nothing is saved: a password the user never confirmed would lock
        // the settings with a text nobody may know.
        switch (CheckPasswordSave(other_.CurrentPasswordFields(), FitsAnsi)) {
            case PasswordProblem::Unconfirmed:
                RefuseEntry(Hwnd(), other_.PasswordBox(), LoadText(IDS_PASSWORD_UNCONFIRMED),
                            LoadText(IDS_PASSWORD_UNCONFIRMED_TITLE));
                CloseStep(CloseEvent::EntryRefused);
                return false;
            case PasswordProblem::HintNotInCodePage:
                RefuseEntry(Hwnd(), other_.HintBox(), LoadText(IDS_HINT_NOT_IN_CODE_PAGE),
                            LoadText(IDS_HINT_NOT_IN_CODE_PAGE_TITLE));
                CloseStep(CloseEvent::EntryRefused);
                return false;
            case PasswordProblem::None:
                break;
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
        ShowFailureReport(Hwnd(), LoadText(IDS_CLOSE_ERROR), LoadText(IDS_CLOSE_ERROR_TITLE),
                          CurrentFailure());
    }
}

void MainFrm::Unload() {
    // A close under way answers for this one too.
    if (session_.Close().On(CloseEvent::CloseAsked) == CloseAction::Ask) AskToClose();
}

bool MainFrm::QueryEndSession() {
    if (session_.Close().On(CloseEvent::SessionEndAsked) != CloseAction::Ask)
        return false;  // not now
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
        ShowFailureReport(Hwnd(), LoadText(IDS_SAVE_ERROR), LoadText(IDS_SAVE_ERROR_TITLE),
                          CurrentFailure());
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
