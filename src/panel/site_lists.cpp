// Editing the approved sites and reviewing the requested ones. Nothing here is
// stored at once: the lists are written back when the settings are saved.
#include <windows.h>

#include "failure_report.h"
#include "launch_rules.h"
#include "main_frm.h"
#include "shell_open.h"
#include "site_rules.h"

namespace zendrel {

namespace {

constexpr wchar_t kNotInCodePage[] =
    L"This address has characters that Zendrel cannot store on this computer.\r\n"
    L"Please type it with plain letters (an international domain name in its \"xn--\" form).";
constexpr wchar_t kControlCharacters[] =
    L"This address has control characters (such as a line break), which cannot be part of a "
    L"web address.\r\nPlease type it again as one line of plain text.";

}  // namespace

void MainFrm::btnAdd_Click() {
    std::wstring site = txtAddSite.Text();
    SiteProblem problem = CheckSite(site);
    if (problem == SiteProblem::Empty) return;
    if (problem != SiteProblem::None) {
        // urls.txt could not hold it as one line the add-on reads rightly.
        RefuseEntry(txtAddSite,
                    problem == SiteProblem::NotInCodePage ? kNotInCodePage : kControlCharacters,
                    L"Add Site");
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
        std::wstring entry = listRequested.List(row);
        // Any user can write "requests": only a web address goes to the shell.
        if (!CanBeWebAddress(entry)) {
            std::wstring text =
                L"Zendrel did not open this request, because it is not a web "
                L"address:\r\n" +
                Shown(entry) +
                L"\r\nA web address has no blanks, quotation marks, angle "
                L"brackets or control characters. You can still deny the request.";
            MessageBoxW(Hwnd(), text.c_str(), L"Review Site", MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        std::wstring address = L"http://" + entry;
        if (!ShellOpen(address))
            MessageBoxW(Hwnd(), NotOpenedElevatedText(address).c_str(), L"Review Site",
                        MB_OK | MB_ICONEXCLAMATION);
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
    removedRequests_.push_back(listRequested.List(row));
    listRequested.RemoveItem(row);
    listRequested.SetListIndex(-1);
}

void MainFrm::btnDeny_Click() {
    int row = listRequested.ListIndex();
    if (row < 0) return;
    removedRequests_.push_back(listRequested.List(row));
    listRequested.RemoveItem(row);
}

}  // namespace zendrel
