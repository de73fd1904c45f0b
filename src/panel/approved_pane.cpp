// The approved sites: adding, removing and editing a site, the pane's share
// of the settings shown and saved, and the merge of changes made to urls.txt
// outside while the window is open.
#include "approved_pane.h"

#include "failure_report.h"
#include "main_layout.h"
#include "resource.h"
#include "site_rules.h"
#include "string_table.h"

namespace zendrel {

void ApprovedPane::Bind() {
    txtAddSite = TextBox(host_.Control(kIdTxtAddSite));
    listApproved = ListBox(host_.Control(kIdListApproved));
    listRequested = ListBox(host_.Control(kIdListRequested));
}

void ApprovedPane::ShowSettings() {
    bool loaded = host_.Session().Loaded(Setting::ApprovedSites);
    for (int id : {kIdListApproved, kIdTxtAddSite, kIdBtnAdd, kIdBtnRemove})
        EnableWindow(host_.Control(id), loaded ? TRUE : FALSE);
    // The list takes the rows themselves: a long list is not copied.
    if (loaded) listApproved.AddItems(host_.Session().TakeApprovedRows());
}

void ApprovedPane::Refresh() {
    SettingsSession& session = host_.Session();
    if (!session.Loaded(Setting::ApprovedSites) || !session.LoadedUrlsBytes()) return;
    std::optional<UrlsChange> now;
    try {
        now = host_.Store().LoadApprovedSitesIfChanged(*session.LoadedUrlsBytes());
    } catch (...) {
        return;  // gone or held for a moment: the next change tells again
    }
    if (!now) return;
    if (auto shown = session.MergeApproved(std::move(*now), listApproved.Items()))
        listApproved.ReplaceKeepingSelection(*shown);
}

bool ApprovedPane::OnCommand(int id, int code) {
    bool clicked = code == BN_CLICKED;
    switch (id) {
        case kIdBtnAdd:
            if (clicked) btnAdd_Click();
            return true;
        case kIdBtnRemove:
            if (clicked) btnRemove_Click();
            return true;
        case kIdListApproved:
            if (code == LBN_DBLCLK) listApproved_DblClick();
            return true;
        case kCmdFind:
            if (Editable()) FindSite();
            return true;
        case kCmdFindNext:
            if (Editable()) FindNextSite();
            return true;
        case kCmdImport:
            if (Editable()) ImportSites();
            return true;
        case kCmdExport:
            if (Editable()) ExportSites();
            return true;
        case kCmdSort:
            if (Editable()) SortSites();
            return true;
        case kCmdRemoveDuplicates:
            if (Editable()) RemoveDuplicateSites();
            return true;
        default:
            return false;
    }
}

std::optional<LRESULT> ApprovedPane::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CONTEXTMENU && reinterpret_cast<HWND>(wParam) == listApproved.Hwnd()) {
        ShowMenu(lParam);
        return 0;
    }
    if (msg == FindDialogMessage() && msg != 0) {
        OnFindDialog(*reinterpret_cast<const FINDREPLACEW*>(lParam));
        return 0;
    }
    return std::nullopt;
}

bool ApprovedPane::PreTranslateMessage(MSG& msg) {
    if (findDialog_ && IsDialogMessageW(findDialog_, &msg)) return true;
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_DELETE && msg.hwnd == listApproved.Hwnd()) {
        btnRemove_Click();
        return true;
    }
    return false;
}

bool ApprovedPane::Editable() const {
    return IsWindowEnabled(listApproved.Hwnd()) != FALSE;
}

void ApprovedPane::ClearSelections() {
    listApproved.SetListIndex(-1);
    listRequested.SetListIndex(-1);
}

void ApprovedPane::btnAdd_Click() {
    std::wstring site = txtAddSite.Text();
    SiteProblem problem = CheckSite(site);
    if (problem == SiteProblem::Empty) return;
    if (problem != SiteProblem::None) {
        // urls.txt could not hold it as one line the add-on reads rightly.
        RefuseEntry(host_.Hwnd(), txtAddSite,
                    LoadText(problem == SiteProblem::NotInCodePage ? IDS_SITE_NOT_IN_CODE_PAGE
                                                                   : IDS_SITE_CONTROL_CHARACTERS),
                    LoadText(IDS_ADD_SITE_TITLE));
        return;
    }
    listApproved.AddItem(site);  // as typed: no trimming, no check of its form
    txtAddSite.SetText(L"");
    txtAddSite.SetFocus();
    ClearSelections();
}

void ApprovedPane::txtAddSite_KeyPress(int KeyAscii) {
    if (KeyAscii == VK_RETURN) btnAdd_Click();
}

void ApprovedPane::btnRemove_Click() {
    int row = listApproved.ListIndex();
    if (row >= 0) listApproved.RemoveItem(row);
}

void ApprovedPane::listApproved_DblClick() {
    try {
        int row = listApproved.ListIndex();
        if (row < 0) return;
        // The site leaves the list while it is edited; Add puts it back.
        txtAddSite.SetText(listApproved.List(row));
        txtAddSite.SetFocus();
        listApproved.RemoveItem(row);
    } catch (...) {
        ShowFailureReport(host_.Hwnd(), LoadText(IDS_EDIT_SITE_ERROR),
                          LoadText(IDS_EDIT_SITE_ERROR_TITLE), CurrentFailure());
    }
}

void ApprovedPane::OfferSite(const std::wstring& site) {
    txtAddSite.SetText(site);
    txtAddSite.SetFocus();
    listApproved.SetListIndex(-1);
}

}  // namespace zendrel
