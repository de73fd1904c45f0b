// "Other Settings": the filter switch of the current user, activity logging
// and its log, the settings password and its hint, the help link; and what
// Zendrel holds whatever the protected accounts do: the Filtered Accounts
// link, held switches shown as such, and the guard's notice below the frame.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "controls.h"
#include "held_store.h"
#include "pane_host.h"
#include "password_rules.h"
#include "settings.h"

namespace zendrel {

class OtherPane {
  public:
    // The link to the Filtered Accounts dialog (outside the control table).
    static constexpr int kIdLinkAccounts = 1101;
    // The notice of what the guard put back, or that it does not run, shown
    // once the window shows (when there is something to say).
    static constexpr int kIdGuardNotice = 1102;

    explicit OtherPane(PaneHost& host) : host_(host) {}
    // Takes the pane's controls once the window has made its table, and
    // adds the link, the notice and the window menu's items.
    void Bind();

    // --- settings (other_pane.cpp) ---
    void ShowSettings(const Settings& settings);
    void ShowPassword(const PasswordSetting& password);
    PasswordFields CurrentPasswordFields() const;
    bool Logging() const { return chkLogging.Value() == 1; }
    bool Mode() const { return chkEnable.Value() == 1; }
    TextBox& PasswordBox() { return txtPwd; }
    TextBox& HintBox() { return txtHint; }
    // Outside changes: a box the user changed here keeps the user's choice.
    void RefreshActivityLogging();
    void RefreshMode();

    bool OnCommand(int id, int code);
    std::optional<LRESULT> HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // The fonts changed (a new DPI): the underlined link keeps its look.
    void FontsChanged();
    // A move of the mouse over the bare window or a bare frame.
    void Form_MouseMove();

    // --- held settings (other_pane_held.cpp) ---
    // Who holds what, as the window's load read it, and again after Filtered
    // Accounts.
    void LoadHeldState(const Holds& holds);
    // Held switches show their held values, disabled, with the reason as tip.
    void ShowHeldState();
    // Takes out of `current` what may not be written here, telling an
    // account without the rights which of its changes are not kept.
    void KeepHeldSettings(Settings& current);

  private:
    void chkEnable_Click();
    void chkPwd_Click();
    void txtPwd_GotFocus();
    void txtPwdConfirm_GotFocus();

    // --- activity log and help links (other_pane_links.cpp) ---
    void linkViewLog_Click();
    void lblLink_Click();
    void linkViewLog_MouseMove();
    void lblLink_MouseMove();
    // How a link label is drawn: its text colour and whether it is underlined.
    struct LinkLook {
        COLORREF color = RGB(0, 0, 192);
        bool underline = false;
    };
    const LinkLook& GetLinkLook(int id) const;
    void SetLinkLook(int id, LinkLook look);
    std::optional<LRESULT> HandleLinkMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // The hand over the links, loaded when the mouse first comes over one.
    HCURSOR LinkCursor();

    // --- held settings (other_pane_held.cpp) ---
    std::optional<LRESULT> HandleHeldMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void AddAccountsEntry();
    void PlaceAccountsLink();
    void AddHeldTip(HWND control, const std::wstring& text);
    // The guard's new records, and a guard that does not run, in the notice.
    void ShowGuardNotice();
    // The notice's details: the records as sentences, the guard's state.
    void ShowGuardDetails();
    void OpenFilteredAccounts();
    struct HeldState {
        std::optional<Effective<bool>> logging;   // held by policy or the administrator
        std::optional<PasswordSetting> password;  // the administrator's held copy
        Effective<bool> mode;                     // this account's switch in effect
        bool anything = false;                    // something at all is held
    };

    PaneHost& host_;
    TextBox txtPwd, txtPwdConfirm, txtHint;
    CheckBox chkEnable, chkLogging, chkPwd;
    HCURSOR linkCursor_ = nullptr;  // shared resource: not freed; see LinkCursor
    LinkLook viewLogLook_, helpLinkLook_;
    HeldState held_;
    std::wstring guardDetails_;
    UINT guardDetailsIcon_ = MB_ICONINFORMATION;
};

}  // namespace zendrel
