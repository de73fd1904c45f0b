// Reviewing, approving and denying the requested sites, and the merge of the
// requests that arrive while the window is open.
#include "requests_pane.h"

#include <commctrl.h>

#include "failure_report.h"
#include "launch_rules.h"
#include "main_layout.h"
#include "resource.h"
#include "shell_open.h"
#include "string_table.h"

namespace zendrel {

void RequestsPane::Bind() {
    listRequested = ListBox(host_.Control(kIdListRequested));
}

void RequestsPane::ShowSettings() {
    bool loaded = host_.Session().Loaded(Setting::RequestedSites);
    for (int id : {kIdListRequested, kIdBtnApprove, kIdBtnDeny, kIdBtnReview})
        EnableWindow(host_.Control(id), loaded ? TRUE : FALSE);
    if (loaded) listRequested.AddItems(host_.Session().TakeRequestedRows());
}

bool RequestsPane::OnCommand(int id, int code) {
    if (id != kIdBtnReview && id != kIdBtnApprove && id != kIdBtnDeny) return false;
    if (code != BN_CLICKED) return true;
    if (id == kIdBtnReview)
        btnReview_Click();
    else if (id == kIdBtnApprove)
        btnApprove_Click();
    else
        btnDeny_Click();
    return true;
}

void RequestsPane::btnReview_Click() {
    try {
        int row = listRequested.ListIndex();
        if (row < 0) return;
        std::wstring entry = listRequested.List(row);
        // Any user can write "requests": only a web address goes to the shell.
        if (!CanBeWebAddress(entry)) {
            std::wstring text = LoadText(IDS_REVIEW_NOT_WEB_ADDRESS, {Shown(entry)});
            MessageBoxW(host_.Hwnd(), text.c_str(), LoadText(IDS_REVIEW_TITLE).c_str(),
                        MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        std::wstring address = L"http://" + entry;
        if (!ShellOpen(address))
            MessageBoxW(host_.Hwnd(), NotOpenedElevatedText(address).c_str(),
                        LoadText(IDS_REVIEW_TITLE).c_str(), MB_OK | MB_ICONEXCLAMATION);
    } catch (...) {
        Failure failure = CurrentFailure();
        if (failure.Number() == kPermissionDenied)
            host_.ShowPermissionsMessage();
        else
            ShowFailureReport(host_.Hwnd(), LoadText(IDS_REVIEW_ERROR),
                              LoadText(IDS_REVIEW_ERROR_TITLE), failure);
    }
}

void RequestsPane::btnApprove_Click() {
    int row = listRequested.ListIndex();
    if (row < 0) return;
    // The site waits in txtAddSite, where it can be corrected before Add.
    approved_.OfferSite(listRequested.List(row));
    host_.Session().RequestRemoved(listRequested.List(row));
    listRequested.RemoveItem(row);
    listRequested.SetListIndex(-1);
}

void RequestsPane::btnDeny_Click() {
    int row = listRequested.ListIndex();
    if (row < 0) return;
    host_.Session().RequestRemoved(listRequested.List(row));
    listRequested.RemoveItem(row);
}

void RequestsPane::Refresh() {
    if (!host_.Session().Loaded(Setting::RequestedSites)) return;
    std::vector<std::wstring> stored;
    try {
        stored = host_.Store().LoadRequestedSites();
    } catch (...) {
        return;
    }
    std::optional<std::vector<std::wstring>> merged =
        host_.Session().MergeRequested(std::move(stored), listRequested.Items());
    if (!merged) return;
    const std::vector<std::wstring>& shown = *merged;
    listRequested.ReplaceKeepingSelection(shown);
    // The sign that the list changed: from now on its tooltip tells the count.
    HWND tooltip = host_.EnsureTooltip();
    std::wstring tip = LoadText(IDS_REQUESTS_CHANGED_TIP, {std::to_wstring(shown.size())});
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = host_.Hwnd();
    tool.uId = reinterpret_cast<UINT_PTR>(listRequested.Hwnd());
    tool.lpszText = tip.data();
    bool known = SendMessageW(tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool));
    tool.lpszText = tip.data();
    SendMessageW(tooltip, known ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0,
                 reinterpret_cast<LPARAM>(&tool));
}

}  // namespace zendrel
