// Between the store and the panes: the settings shown when the window opens,
// the settings the panes hold when it saves, the immediate save of the
// per-user switch, what the user is told of each save, and the changes other
// programs make while the window is open.
#include "failure_report.h"
#include "main_frm.h"
#include "resource.h"
#include "string_table.h"

namespace zendrel {

namespace {

unsigned SaveIntroduction(Setting setting) {
    switch (setting) {
        case Setting::ApprovedSites:
            return IDS_SAVE_APPROVED_ERROR;
        case Setting::RequestedSites:
            return IDS_SAVE_REQUESTED_ERROR;
        case Setting::ActivityLogging:
            return IDS_SAVE_LOGGING_ERROR;
        case Setting::Mode:
            return IDS_SAVE_MODE_ERROR;
        case Setting::Password:
            break;
    }
    return IDS_SAVE_PASSWORD_ERROR;
}

}  // namespace

void MainFrm::ShowSettings() {
    approved_.ShowSettings();
    requests_.ShowSettings();
    // The switches last: a "mode" written back on showing reports with the lists filled.
    other_.ShowSettings(session_.Values());
}

Settings MainFrm::CurrentSettings() const {
    return session_.ToSave(other_.Logging(), other_.Mode(),
                           PasswordToSave(other_.CurrentPasswordFields()));
}

void MainFrm::SaveModeNow(bool on) {
    session_.ChooseMode(on);
    session_.Close().BeginSave();
    ReportOutcome(Setting::Mode, store_.SaveMode(on));
}

void MainFrm::ReportOutcome(Setting setting, const Outcome& outcome) {
    if (outcome.kind == Outcome::Kind::Refused) {
        if (!session_.Close().RefusalShown()) ShowPermissionsMessage();
    } else if (outcome.kind == Outcome::Kind::Failed) {
        ShowFailureReport(Hwnd(), LoadText(SaveIntroduction(setting)),
                          LoadText(IDS_SAVE_ERROR_TITLE), *outcome.failure);
    }
}

void MainFrm::ShowPermissionsMessage() {
    session_.Close().NoteRefusalShown();
    MessageBoxW(Hwnd(), LoadText(IDS_PERMISSIONS).c_str(), LoadText(IDS_PERMISSIONS_TITLE).c_str(),
                MB_OK | MB_ICONHAND);
}

// --- settings changed by other programs while open ---
// The window stays current: what the add-on, the command-line tool or anyone
// else changes while it is open appears in it, merged with what the user did
// here, which is never undone. The watcher's thread posts a message; the
// window re-reads only the place that changed.

namespace {

unsigned Bit(SettingsWatcher::Change change) {
    return 1u << static_cast<unsigned>(change);
}

}  // namespace

void MainFrm::StartWatching() {
    HWND window = Hwnd();
    watcher_ = std::make_unique<SettingsWatcher>(
        store_.ProgramFolder(), [window](SettingsWatcher::Change change) {
            PostMessageW(window, kWmSettingsChanged, static_cast<WPARAM>(change), 0);
        });
}

std::optional<LRESULT> MainFrm::HandleLiveMessage(UINT msg, WPARAM wParam) {
    if (msg != kWmSettingsChanged) return std::nullopt;
    // A burst of changes comes as several messages: one re-read for all.
    unsigned changes = Bit(static_cast<SettingsWatcher::Change>(wParam));
    MSG more;
    while (PeekMessageW(&more, Hwnd(), kWmSettingsChanged, kWmSettingsChanged, PM_REMOVE))
        changes |= Bit(static_cast<SettingsWatcher::Change>(more.wParam));
    OnSettingsChanged(changes);
    return 0;
}

void MainFrm::OnSettingsChanged(unsigned changes) {
    // While the question or a save is under way the controls are what is
    // being saved: the news waits until the window stays open.
    changes = session_.Close().ChangesArrived(changes);
    if (!changes) return;
    ++liveRefreshes_;
    if (changes & Bit(SettingsWatcher::Change::ProgramFolder)) approved_.Refresh();
    if (changes & Bit(SettingsWatcher::Change::MachineKey)) {
        requests_.Refresh();
        other_.RefreshActivityLogging();
    }
    if (changes & Bit(SettingsWatcher::Change::UserKey)) other_.RefreshMode();
}

void MainFrm::HandlePendingChanges() {
    if (unsigned changes = session_.Close().TakeWaitingChanges()) OnSettingsChanged(changes);
}

}  // namespace zendrel
