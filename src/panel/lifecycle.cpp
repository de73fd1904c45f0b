// Opening and closing the main window: the password gate and the loaders when
// it opens, the "Save Changes" question whenever it is about to close, and
// the save of every setting.
#include "end_program.h"
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
    bool passwordSet = false;
    try {
        passwordSet = LoadPasswordSettings();
    } catch (...) {
        // A password may be stored that could not be read: the settings stay closed.
        ShowFailureReport(hwnd_, kLoadIntroduction, kLoadTitle, CurrentFailure());
        EndProgram();
        return;
    }
    if (passwordSet) {
        std::int32_t result = 0;
        {
            pwdFrm dialog;
            dialog.Hint = savedHint;
            dialog.Digest = savedDigest;
            result = dialog.DisplayDialog(hwnd_);
        }
        if (result != 1) {
            EndProgram();
            return;
        }
    }
    try {
        LoadApprovedSites();
        LoadRequestedSites();
        LoadActivityLogging();
        LoadMode();
    } catch (...) {
        ShowFailureReport(hwnd_, kLoadIntroduction, kLoadTitle, CurrentFailure());
    }
}

void MainFrm::Form_QueryUnload(std::int16_t& Cancel, std::int16_t /*UnloadMode*/) {
    int answer = MsgBoxEx(hwnd_, L"Would you like to save your changes?",
                          MB_YESNOCANCEL | MB_ICONQUESTION, L"Save Changes", 50, 250, nullptr);
    if (answer == IDYES) {
        if (NewPasswordUnconfirmed()) {
            // Nothing is saved: a password the user never confirmed would lock
            // the settings with a text nobody may know.
            MessageBoxW(hwnd_,
                        L"The password and the confirmation password are not the same.\r\n"
                        L"Nothing has been saved. Please type the new password again in both "
                        L"boxes, then close the window to save.",
                        L"Confirm Password", MB_OK | MB_ICONEXCLAMATION);
            txtPwd.SetFocus();
            SelectAll(txtPwd);
            Cancel = 1;
            return;
        }
        SaveAllSettings();  // returns only when its own failure handler ran
    } else if (answer == IDNO) {
        EndProgram();
    } else {
        Cancel = 1;
    }
}

void MainFrm::btnClose_Click() {
    try {
        Unload(kUnloadFromCode);
    } catch (...) {
        ShowFailureReport(hwnd_, L"Error occurred trying to close the window: ",
                          L"Window Close Error", CurrentFailure());
    }
}

void MainFrm::Unload(std::int16_t unloadMode) {
    std::int16_t cancel = 0;
    Form_QueryUnload(cancel, unloadMode);
    if (cancel == 0 && hwnd_ && !programEnded_) DestroyWindow(hwnd_);
}

void MainFrm::SaveAllSettings() {
    try {
        BeginSave();
        SaveActivityLogging();
        SaveApprovedSites();
        SaveRequestedSites();
        SaveMode();
        SavePasswordSettings();
        EndProgram();
    } catch (...) {
        ShowFailureReport(hwnd_, L"Error occurred trying to save settings: ",
                          L"Save Settings Error", CurrentFailure());
    }
}

void MainFrm::EndProgram() {
    programEnded_ = true;
    EndProgramNow();
}

}  // namespace zendrel
