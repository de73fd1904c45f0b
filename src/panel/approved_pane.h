// "Approved Sites": the list of sites the add-on lets through, and the box in
// which a site is typed (or an approved request waits) before Add. Nothing
// here is stored at once: the list is written back when the settings are
// saved. Also the list's context menu (import, export, find, sort,
// duplicates), its shortcuts (Ctrl+F, F3, Delete) and pasting many sites.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <optional>
#include <string>
#include <vector>

#include "controls.h"
#include "pane_host.h"
#include "settings.h"

namespace zendrel {

class ApprovedPane {
  public:
    explicit ApprovedPane(PaneHost& host) : host_(host) {}
    // Takes the pane's controls, once the window has made them.
    void Bind();

    // Shows the loaded sites (the rows move into the list); the pane stays
    // disabled for good when they did not load.
    void ShowSettings();
    // The list's rows, without a copy when the list keeps them.
    const std::vector<std::wstring>& Rows(std::vector<std::wstring>& scratch) const {
        return listApproved.Rows(scratch);
    }
    // urls.txt changed outside: the file as it now stands, with this
    // window's own additions and removals applied.
    void Refresh();

    // The pane's commands and messages; false or nullopt for another's.
    bool OnCommand(int id, int code);
    std::optional<LRESULT> HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // The Find dialog's keys and the list's Delete key.
    bool PreTranslateMessage(MSG& msg);

    // Text with several lines pasted into txtAddSite: each non-empty line is
    // added as Add adds a site; refused lines are listed in one message.
    void PasteSites(const std::wstring& text);
    void txtAddSite_KeyPress(int KeyAscii);

    // Puts a site in txtAddSite, to be corrected before Add.
    void OfferSite(const std::wstring& site);
    HWND SiteBox() const { return txtAddSite.Hwnd(); }

  private:
    void btnAdd_Click();
    void btnRemove_Click();
    void listApproved_DblClick();
    void ShowMenu(LPARAM screenPoint);
    void FindSite();
    void FindNextSite();
    void OnFindDialog(const FINDREPLACEW& find);
    // The message the Find dialog sends its owner.
    static UINT FindDialogMessage();
    void SortSites();
    void RemoveDuplicateSites();
    void ImportSites();
    void ExportSites();
    bool Editable() const;
    void ClearSelections();

    PaneHost& host_;
    TextBox txtAddSite;
    ListBox listApproved, listRequested;
    // The Find dialog (modeless) and what it searches for.
    FINDREPLACEW find_{};
    wchar_t findText_[256] = {};
    HWND findDialog_ = nullptr;
};

}  // namespace zendrel
