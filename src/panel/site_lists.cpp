// Editing the approved sites and reviewing the requested ones. Nothing here is
// stored at once: the lists are written back when the settings are saved.
#include <windows.h>
#include <shellapi.h>

#include "ansi.h"
#include "failure_report.h"
#include "main_frm.h"

namespace zendrel {

void MainFrm::btnAdd_Click() {
    std::wstring site = txtAddSite.Text();
    if (site.empty()) return;
    if (!FitsAnsi(site)) {
        // urls.txt is ANSI text: such a site would reach the add-on garbled.
        MessageBoxW(hwnd_,
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
        ShowFailureReport(hwnd_, L"Error occurred trying to edit site: ", L"Edit Site Error",
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
            ShowFailureReport(hwnd_, L"Error occurred trying to review sites: ",
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

std::int32_t MainFrm::ShellOpen(const std::wstring& Target) {
    std::string file = ToAnsi(Target);
    HINSTANCE result =
        ShellExecuteA(nullptr, nullptr, file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return static_cast<std::int32_t>(reinterpret_cast<INT_PTR>(result));
}

}  // namespace zendrel
