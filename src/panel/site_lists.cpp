// Editing the approved sites and reviewing the requested ones. Nothing here is
// stored at once: the lists are written back when the settings are saved.
#include <windows.h>
#include <shellapi.h>

#include "ansi.h"
#include "failure_report.h"
#include "main_frm.h"
#include "site_rules.h"

namespace zendrel {

namespace {

// Hands target to the shell's default action.
void ShellOpen(const std::wstring& target) {
    std::string file = ToAnsi(target);
    ShellExecuteA(nullptr, nullptr, file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

void MainFrm::btnAdd_Click() {
    std::wstring site = txtAddSite.Text();
    SiteProblem problem = CheckSite(site);
    if (problem == SiteProblem::Empty) return;
    if (problem == SiteProblem::NotInCodePage) {
        MessageBoxW(Hwnd(),
                    L"This address has characters that Zendrel cannot store on this computer.\r\n"
                    L"Please type it with plain letters (an international domain name in its "
                    L"\"xn--\" form).",
                    L"Add Site", MB_OK | MB_ICONEXCLAMATION);
        txtAddSite.SetFocus();
        SelectAll(txtAddSite);
        return;
    }
    listApproved.AddItem(site);  // as typed: no trimming, no check of its form
    txtAddSite.SetText(L"");
    txtAddSite.SetFocus();
    listApproved.SetListIndex(-1);
    listRequested.SetListIndex(-1);
}

void MainFrm::txtAddSite_KeyPress(int KeyAscii) {
    if (KeyAscii == VK_RETURN) btnAdd_Click();
}

void MainFrm::btnRemove_Click() {
    int row = listApproved.ListIndex();
    if (row >= 0) listApproved.RemoveItem(row);
}

void MainFrm::listApproved_DblClick() {
    try {
        int row = listApproved.ListIndex();
        if (row < 0) return;
        // The site leaves the list while it is edited; Add puts it back.
        txtAddSite.SetText(listApproved.List(row));
        txtAddSite.SetFocus();
        listApproved.RemoveItem(row);
    } catch (...) {
        ShowFailureReport(Hwnd(), L"Error occurred trying to edit site: ", L"Edit Site Error",
                          CurrentFailure());
    }
}

void MainFrm::btnReview_Click() {
    try {
        int row = listRequested.ListIndex();
        if (row < 0) return;
        ShellOpen(L"http://" + listRequested.List(row));
    } catch (...) {
        Failure failure = CurrentFailure();
        if (failure.Number() == kPermissionDenied)
            ShowPermissionsMessage();
        else
            ShowFailureReport(Hwnd(), L"Error occurred trying to review sites: ",
                              L"Review Sites Error", failure);
    }
}

void MainFrm::btnApprove_Click() {
    int row = listRequested.ListIndex();
    if (row < 0) return;
    // The site waits in txtAddSite, where it can be corrected before Add.
    txtAddSite.SetText(listRequested.List(row));
    txtAddSite.SetFocus();
    listApproved.SetListIndex(-1);
    listRequested.RemoveItem(row);
    listRequested.SetListIndex(-1);
}

void MainFrm::btnDeny_Click() {
    int row = listRequested.ListIndex();
    if (row >= 0) listRequested.RemoveItem(row);
}

}  // namespace zendrel
