#include "accounts_frm.h"

#include <commctrl.h>

#include <utility>

#include "control_proc.h"
#include "control_windows.h"
#include "dialog_template.h"
#include "resource.h"
#include "string_table.h"
#include "twips.h"
#include "win32_failure.h"

namespace zendrel {

namespace {

constexpr DWORD kDialogStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr int kFontPoints = 9;

using K = ControlKind;

// The list view comes first (it is made apart, as the table has no kind for
// it), then these, in tab order.
// clang-format off
constexpr ControlSpec kControls[] = {
    // name              id                              kind              container     caption                      left   top  width height tab
    {L"lblIntro",        accountsFrm::kIdLblIntro,       K::Label,         kNoContainer, IDS_ACCOUNTS_LBLINTRO,       120,  120, 6360,  480, kNoTabIndex},
    {L"lblAdd",          accountsFrm::kIdLblAdd,         K::Label,         kNoContainer, IDS_ACCOUNTS_LBLADD,         120, 3330, 4800,  255, kNoTabIndex},
    {L"txtAccount",      accountsFrm::kIdTxtAccount,     K::TextBox,       kNoContainer, 0,                           120, 3585, 4800,  315, 1, 0, IDS_ACCOUNTS_TXTACCOUNT_ACC},
    {L"btnAddAccount",   accountsFrm::kIdBtnAddAccount,  K::Button,        kNoContainer, IDS_ACCOUNTS_BTNADDACCOUNT, 5040, 3570, 1440,  345, 2},
    {L"btnOk",           accountsFrm::kIdBtnOk,          K::DefaultButton, kNoContainer, IDS_OK,                     4080, 4200, 1155,  360, 3},
    {L"btnCancel",       accountsFrm::kIdBtnCancel,      K::Button,        kNoContainer, IDS_CANCEL,                 5325, 4200, 1155,  360, 4},
};
// clang-format on
static_assert(InTabOrder(kControls));

// The list of accounts: left, top, width, height in twips; its columns.
constexpr int kList[4] = {120, 660, 6360, 2520};
struct Column {
    unsigned title;  // string id
    int widthTwips;
};
constexpr Column kColumns[] = {{IDS_ACCOUNTS_COLUMN_ACCOUNT, 2520},
                               {IDS_ACCOUNTS_COLUMN_FILTER, 1140},
                               {IDS_ACCOUNTS_COLUMN_KEPT, 1320},
                               {IDS_ACCOUNTS_COLUMN_APPLIES, 1260}};

// What the add-on reads in the account's hive; where that is not the switch
// kept for it, the guard could not put it back (or is not running): never
// shown as holding.
std::wstring FilterText(const AccountRow& row) {
    if (!row.filterOn) return LoadText(IDS_ACCOUNTS_NOT_SIGNED_IN);
    std::wstring reads = LoadText(*row.filterOn ? IDS_ACCOUNTS_ON : IDS_ACCOUNTS_OFF);
    if (row.held && *row.held != *row.filterOn)
        return LoadText(IDS_ACCOUNTS_NOT_PUT_BACK, {reads});
    return reads;
}

std::wstring AppliesText(const AccountRow& row) {
    return LoadText(row.hiveLoaded ? IDS_ACCOUNTS_NOW : IDS_ACCOUNTS_NEXT_SIGN_IN);
}

std::wstring TextOf(HWND control) {
    int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    length = GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<size_t>(length > 0 ? length : 0));
    return text;
}

void SetCell(HWND list, int item, int column, const std::wstring& text) {
    LVITEMW cell{};
    cell.iSubItem = column;
    cell.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(item),
                 reinterpret_cast<LPARAM>(&cell));
}

bool Checked(HWND list, int item) {
    auto state = static_cast<UINT>(
        SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(item), LVIS_STATEIMAGEMASK));
    return (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

void SetChecked(HWND list, int item, bool on) {
    LVITEMW state{};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(on ? 2 : 1);
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item),
                 reinterpret_cast<LPARAM>(&state));
}

}  // namespace

std::wstring HeldText(const AccountRow& row) {
    if (row.byPolicy) return LoadText(IDS_ACCOUNTS_BY_POLICY);
    if (!row.held) return LoadText(IDS_ACCOUNTS_NO);
    return LoadText(*row.held ? IDS_ACCOUNTS_ON : IDS_ACCOUNTS_OFF);
}

accountsFrm::accountsFrm(std::vector<AccountRow> rows, Resolver resolve, int dpi)
    : rows_(std::move(rows)), resolve_(std::move(resolve)), dpi_(dpi) {}

std::int32_t accountsFrm::DisplayDialog(HWND owner) {
    dialogResult_ = 2;
    std::vector<WORD> dialog = DialogTemplate(kDialogStyle, LoadText(IDS_ACCOUNTS_CAPTION).c_str());
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                            reinterpret_cast<const DLGTEMPLATE*>(dialog.data()), owner, DialogProc,
                            reinterpret_cast<LPARAM>(this));
    return dialogResult_;
}

std::optional<LRESULT> accountsFrm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            CreateControls();
            FillList();
            RECT at = CentredOver(GetWindow(Hwnd(), GW_OWNER), Hwnd());
            SetWindowPos(Hwnd(), nullptr, at.left, at.top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            SetFocus(list_);
            return FALSE;  // the focus is set
        }
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) return std::nullopt;
            switch (LOWORD(wParam)) {
                case IDOK:
                    // Enter in the name box adds the account it names.
                    if (GetFocus() == GetDlgItem(Hwnd(), kIdTxtAccount))
                        btnAddAccount_Click();
                    else
                        btnOk_Click();
                    return TRUE;
                case kIdBtnAddAccount:
                    btnAddAccount_Click();
                    return TRUE;
                case IDCANCEL:
                    EndDialog(Hwnd(), 2);
                    return TRUE;
            }
            return std::nullopt;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom != list_ || header->code != LVN_ITEMCHANGING || filling_)
                return std::nullopt;
            auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
            bool tickChanges = (change->uChanged & LVIF_STATE) &&
                               ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK);
            // TRUE keeps the row as it is.
            return (tickChanges && !MayChange(change->iItem)) ? TRUE : FALSE;
        }
    }
    return std::nullopt;
}

void accountsFrm::CreateControls() {
    if (!font_) font_ = CreateWindowFont(kFontPoints, dpi_);
    list_ = CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
        TwipsToPixels(kList[0], dpi_), TwipsToPixels(kList[1], dpi_), TwipsToPixels(kList[2], dpi_),
        TwipsToPixels(kList[3], dpi_), Hwnd(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdListAccounts)), GetModuleHandleW(nullptr),
        nullptr);
    if (!list_) throw FailureFromLastError(kProgramName);
    SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    SetAccessibleName(list_, LoadText(IDS_ACCOUNTS_LIST_ACC));
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        std::wstring title = LoadText(kColumns[i].title);
        column.pszText = title.data();
        column.cx = TwipsToPixels(kColumns[i].widthTwips, dpi_);
        column.iSubItem = i;
        SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&column));
    }
    CreateControlWindows(Hwnd(), kControls, dpi_, font_.Get());
    SendMessageW(Hwnd(), DM_SETDEFID, IDOK, 0);
    SIZE size = WindowSizeForClient(Hwnd(), kClientWidthTwips, kClientHeightTwips, dpi_);
    SetWindowPos(Hwnd(), nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void accountsFrm::FillList() {
    for (std::size_t i = 0; i < rows_.size(); ++i) AddRowToList(i);
    if (!rows_.empty()) {
        LVITEMW state{};
        state.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
        state.state = LVIS_FOCUSED | LVIS_SELECTED;
        SendMessageW(list_, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    }
}

void accountsFrm::AddRowToList(std::size_t index) {
    const AccountRow& row = rows_[index];
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(index);
    item.pszText = const_cast<wchar_t*>(row.name.c_str());
    item.lParam = static_cast<LPARAM>(index);
    filling_ = true;
    int at =
        static_cast<int>(SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    SetCell(list_, at, 1, FilterText(row));
    SetCell(list_, at, 2, HeldText(row));
    SetCell(list_, at, 3, AppliesText(row));
    SetChecked(list_, at, row.ticked);
    filling_ = false;
}

bool accountsFrm::MayChange(int item) const {
    return item < 0 || static_cast<std::size_t>(item) >= rows_.size() || !rows_[item].byPolicy;
}

void accountsFrm::btnAddAccount_Click() {
    HWND box = GetDlgItem(Hwnd(), kIdTxtAccount);
    std::wstring name = TextOf(box);
    std::wstring message;
    std::optional<AccountRow> row;
    if (name.find_first_not_of(L' ') == std::wstring::npos)
        message = LoadText(IDS_ACCOUNTS_TYPE_ACCOUNT);
    else
        row = resolve_(name, message);
    for (std::size_t i = 0; row && i < rows_.size(); ++i) {
        if (rows_[i].sid != row->sid) continue;
        // Listed already: that row is ticked, not a second one added.
        if (!rows_[i].byPolicy) SetChecked(list_, static_cast<int>(i), true);
        SetWindowTextW(box, L"");
        return;
    }
    if (!row) {
        MessageBoxW(Hwnd(), message.c_str(), LoadText(IDS_ACCOUNTS_CAPTION).c_str(),
                    MB_OK | MB_ICONEXCLAMATION);
        SendMessageW(Hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(box), TRUE);
        SendMessageW(box, EM_SETSEL, 0, -1);
        return;
    }
    row->ticked = true;
    rows_.push_back(std::move(*row));
    AddRowToList(rows_.size() - 1);
    SetWindowTextW(box, L"");
}

void accountsFrm::btnOk_Click() {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        rows_[i].ticked = Checked(list_, static_cast<int>(i));
    dialogResult_ = 1;
    EndDialog(Hwnd(), 1);
}

}  // namespace zendrel
