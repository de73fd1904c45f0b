// The window stays current: what the add-on, the command-line tool or anyone
// else changes while it is open appears in it, merged with what the user did
// here, which is never undone. The watcher's thread posts a message; the
// window re-reads only the place that changed.
#include <windows.h>
#include <commctrl.h>

#include "main_frm.h"
#include "site_text.h"

namespace zendrel {

namespace {

unsigned Bit(SettingsWatcher::Change change) {
    return 1u << static_cast<unsigned>(change);
}

// Replaces the rows and keeps the selection on the same entry (the same
// occurrence of its text) where it still exists.
void ReplaceKeepingSelection(ListBox& list, const std::vector<std::wstring>& rows) {
    std::vector<std::wstring> before = list.Items();
    int selected = list.ListIndex();
    int occurrence = 0;
    std::wstring text;
    if (selected >= 0) {
        text = before[static_cast<std::size_t>(selected)];
        for (int i = 0; i < selected; ++i)
            if (before[static_cast<std::size_t>(i)] == text) ++occurrence;
    }
    auto first = static_cast<WPARAM>(SendMessageW(list.Hwnd(), LB_GETTOPINDEX, 0, 0));
    list.SetItems(rows);
    SendMessageW(list.Hwnd(), LB_SETTOPINDEX, first, 0);
    if (selected < 0) return;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i] == text && occurrence-- == 0) {
            list.SetListIndex(static_cast<int>(i));
            return;
        }
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
    changes = close_.ChangesArrived(changes);
    if (!changes) return;
    ++liveRefreshes_;
    if (changes & Bit(SettingsWatcher::Change::ProgramFolder)) RefreshApprovedSites();
    if (changes & Bit(SettingsWatcher::Change::MachineKey)) {
        RefreshRequestedSites();
        RefreshActivityLogging();
    }
    if (changes & Bit(SettingsWatcher::Change::UserKey)) RefreshMode();
}

void MainFrm::HandlePendingChanges() {
    if (unsigned changes = close_.TakeWaitingChanges()) OnSettingsChanged(changes);
}

void MainFrm::RefreshApprovedSites() {
    if (!loaded_.approvedSites || !loaded_.loadedUrlsBytes) return;
    std::optional<UrlsChange> now;
    try {
        now = store_.LoadApprovedSitesIfChanged(*loaded_.loadedUrlsBytes);
    } catch (...) {
        return;  // gone or held for a moment: the next change tells again
    }
    if (!now) return;
    // The file as it now stands with this window's own additions and
    // removals applied; it is the new ground a save compares with.
    std::vector<std::wstring> shown =
        MergeChanges(now->loadedSites, listApproved.Items(), now->sites);
    loaded_.loadedUrlsBytes = std::move(now->bytes);
    ReplaceKeepingSelection(listApproved, shown);
}

void MainFrm::RefreshRequestedSites() {
    if (!loaded_.requestedSites) return;
    std::vector<std::wstring> stored;
    try {
        stored = store_.LoadRequestedSites();
    } catch (...) {
        return;
    }
    std::vector<std::wstring> shown = WithoutRemoved(std::move(stored), removedRequests_);
    if (shown == listRequested.Items()) return;
    ReplaceKeepingSelection(listRequested, shown);
    // The sign that the list changed: from now on its tooltip tells the count.
    EnsureTooltip();
    std::wstring tip = L"Requested sites: " + std::to_wstring(shown.size()) +
                       L" (the list has changed since the window opened)";
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = Hwnd();
    tool.uId = reinterpret_cast<UINT_PTR>(listRequested.Hwnd());
    tool.lpszText = tip.data();
    bool known = SendMessageW(tooltip_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool));
    tool.lpszText = tip.data();
    SendMessageW(tooltip_, known ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0,
                 reinterpret_cast<LPARAM>(&tool));
}

void MainFrm::RefreshActivityLogging() {
    if (!loaded_.activityLogging) return;
    bool stored = false;
    try {
        stored = store_.LoadActivityLogging();
    } catch (...) {
        return;
    }
    // A box the user changed here keeps the user's choice.
    bool userChanged = (chkLogging.Value() == 1) != *loaded_.activityLogging;
    loaded_.activityLogging = stored;
    if (!userChanged) chkLogging.SetValue(stored ? 1 : 0);
}

void MainFrm::RefreshMode() {
    if (!loaded_.mode) return;
    bool stored = false;
    try {
        stored = store_.LoadMode();
    } catch (...) {
        return;
    }
    if (stored == *loaded_.mode) return;
    loaded_.mode = stored;
    // Shown without the box's Click, which would store it once more.
    SendMessageW(chkEnable.Hwnd(), BM_SETCHECK, stored ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace zendrel
