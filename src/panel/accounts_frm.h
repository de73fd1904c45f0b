// accountsFrm: the modal "Filtered Accounts" dialog of the settings window.
// It lists the accounts of the computer with whether the filter is on for
// each and whether Zendrel keeps it so; the administrator ticks the accounts
// to filter and may add a domain account by name. The dialog only edits the
// rows: the caller stores the choice when DisplayDialog returns 1.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "handles.h"
#include "window_base.h"

namespace zendrel {

// One account as the dialog shows it.
struct AccountRow {
    std::wstring name;  // "name" for a local account, "DOMAIN\name" otherwise
    std::wstring sid;   // its security identifier, as text
    // "mode" in the account's own hive; nullopt while the hive is not loaded.
    std::optional<bool> filterOn;
    // The filter is kept on or off for the account: the value of `held`.
    std::optional<bool> held;
    bool byPolicy = false;    // held by Group Policy: the dialog cannot change it
    bool hiveLoaded = false;  // the account is signed in (a choice applies now)
    bool ticked = false;      // the choice: filter this account
};

class accountsFrm final : public WindowBase {
  public:
    static constexpr int kIdLblIntro = 1001;
    static constexpr int kIdListAccounts = 1002;
    static constexpr int kIdLblAdd = 1003;
    static constexpr int kIdTxtAccount = 1004;
    static constexpr int kIdBtnAddAccount = 1005;
    static constexpr int kIdBtnOk = IDOK;
    static constexpr int kIdBtnCancel = IDCANCEL;

    static constexpr int kClientWidthTwips = 6600;
    static constexpr int kClientHeightTwips = 4740;

    // Turns "DOMAIN\name" into a row (not yet ticked); on failure sets the
    // message to show and returns nullopt.
    using Resolver = std::function<std::optional<AccountRow>(const std::wstring& name,
                                                             std::wstring& message)>;

    // rows: every account, each ticked as its filter stands now.
    accountsFrm(std::vector<AccountRow> rows, Resolver resolve, int dpi);

    // Shows the dialog modally over owner: 1 after OK (Rows() then holds the
    // choice), 2 after Cancel, Esc or the close box.
    std::int32_t DisplayDialog(HWND owner);

    const std::vector<AccountRow>& Rows() const { return rows_; }

  private:
    std::optional<LRESULT> HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    void CreateControls();
    void FillList();
    void AddRowToList(std::size_t index);
    void btnAddAccount_Click();
    void btnOk_Click();
    // Whether the tick of a row may change (rows held by policy may not).
    bool MayChange(int item) const;

    std::vector<AccountRow> rows_;
    Resolver resolve_;
    int dpi_;
    FontHandle font_;
    HWND list_ = nullptr;
    std::int32_t dialogResult_ = 2;
    bool filling_ = false;
};

// The text of the "Held" column of a row.
std::wstring HeldText(const AccountRow& row);

}  // namespace zendrel
