// The settings store of the main window: the loaders and savers that carry
// each setting between its control and the registry or urls.txt, the
// immediate save of the per-user switch, and the permissions message.
//
// Settings key Software\Orvantix\Zendrel:
//   HKLM "requests"         REG_MULTI_SZ  requested sites (the add-on appends to it)
//   HKLM "activitylogging"  REG_DWORD     1 = activity logging on
//   HKCU "mode"             REG_DWORD     1 = the filter is on for this user
// urls.txt in the program's folder: one approved site per line, ANSI, CR LF.
#include <windows.h>

#include "failure_report.h"
#include "main_frm.h"
#include "registry_wrapper.h"
#include "site_text.h"
#include "urls_file.h"

namespace zendrel {

namespace {

constexpr std::int32_t kRegMultiSz = REG_MULTI_SZ;
constexpr std::int32_t kRegDword = REG_DWORD;
constexpr wchar_t kSaveErrorTitle[] = L"Save Settings Error";

// A stored switch as the box shows it: ticked only for exactly 1.
int SwitchValue(const Variant& stored) {
    return stored.ToInt16() == 1 ? 1 : 0;
}

}  // namespace

RegistryWrapper MainFrm::SettingsKey(std::int32_t root) const {
    RegistryWrapper key;
    key.hkey = root;
    key.KeyRoot = L"Software";
    key.Subkey = L"Orvantix\\Zendrel";
    return key;
}

void MainFrm::LoadApprovedSites() {
    // Read the whole file before touching the list: a failed read adds nothing.
    std::vector<std::wstring> sites = LoadUrlsFile(programFolder_ + L"/urls.txt");
    listApproved.AddItems(sites);
    held_.approvedSites = true;
}

void MainFrm::LoadRequestedSites() {
    std::wstring text = SettingsKey(kHkeyLocalMachine).GetRegistryValue(L"requests").ToText();
    listRequested.AddItems(SplitRequests(text));
    held_.requestedSites = true;
}

void MainFrm::LoadActivityLogging() {
    Variant stored = SettingsKey(kHkeyLocalMachine).GetRegistryValue(L"activitylogging");
    chkLogging.SetValue(SwitchValue(stored));
    held_.activityLogging = true;
}

void MainFrm::LoadMode() {
    RegistryWrapper key = SettingsKey(kHkeyCurrentUser);
    if (!key.KeyExists()) {
        // A user who never had the key starts with the filter off.
        key.CreateKey();
        key.SetRegistryValue(L"mode", Variant(std::int32_t{0}), kRegDword);
    }
    Variant stored = key.GetRegistryValue(L"mode");
    // A change of the box raises chkEnable_Click, which writes the value back.
    chkEnable.SetValue(SwitchValue(stored));
    held_.mode = true;
}

void MainFrm::SaveApprovedSites() {
    if (!held_.approvedSites) return;
    try {
        SaveUrlsFile(programFolder_ + L"\\urls.txt", listApproved.Items());
    } catch (...) {
        ReportSaveFailure(CurrentFailure(),
                          L"Error occurred trying to save approved site settings: ");
    }
}

void MainFrm::SaveRequestedSites() {
    if (!held_.requestedSites) return;
    try {
        std::wstring text = JoinRequests(listRequested.Items());
        if (!SettingsKey(kHkeyLocalMachine)
                 .SetRegistryValue(L"requests", Variant(text), kRegMultiSz))
            ReportRefusedWrite();
    } catch (...) {
        ReportSaveFailure(CurrentFailure(),
                          L"Error occurred trying to save requested url settings: ");
    }
}

void MainFrm::SaveActivityLogging() {
    if (!held_.activityLogging) return;
    try {
        Variant value(std::int32_t{chkLogging.Value()});
        if (!SettingsKey(kHkeyLocalMachine).SetRegistryValue(L"activitylogging", value, kRegDword))
            ReportRefusedWrite();
    } catch (...) {
        ReportSaveFailure(CurrentFailure(), L"Error occurred trying to save logging settings: ");
    }
}

void MainFrm::SaveMode() {
    if (!held_.mode) return;
    try {
        Variant value(std::int32_t{chkEnable.Value()});
        if (!SettingsKey(kHkeyCurrentUser).SetRegistryValue(L"mode", value, kRegDword))
            ReportRefusedWrite();
    } catch (...) {
        ReportSaveFailure(CurrentFailure(), L"Error occurred trying to save mode settings: ");
    }
}

void MainFrm::chkEnable_Click() {
    // The box now shows a choice (the user's, or the value LoadMode just
    // read), so "mode" is the window's to save, even after a failed load.
    held_.mode = true;
    BeginSave();
    SaveMode();
}

void MainFrm::ShowPermissionsMessage() {
    permissionsShownThisSave_ = true;
    MessageBoxW(hwnd_,
                L"You currently don't have the proper system permissions to save settings, "
                L"please be sure to log in with an \r\n"
                L"administrative account (a user with full access) to save Zendrel settings.",
                L"System Permissions Required", MB_OK | MB_ICONHAND);
}

void MainFrm::ReportSaveFailure(const Failure& failure, const wchar_t* introduction) {
    if (failure.Number() == kPermissionDenied)
        ReportRefusedWrite();
    else
        ShowFailureReport(hwnd_, introduction, kSaveErrorTitle, failure);
}

void MainFrm::ReportRefusedWrite() {
    if (!permissionsShownThisSave_) ShowPermissionsMessage();
}

}  // namespace zendrel
