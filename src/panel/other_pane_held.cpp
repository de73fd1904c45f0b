// The settings that Zendrel keeps whatever the protected accounts do, as the
// window shows them: the Filtered Accounts dialog (a link beside
// "Enable Zendrel for the Current User" and an item of the window menu), the
// controls of settings kept by the administrator or set by Group Policy
// (disabled, the reason in their tooltip), what an account that may not
// change them is told when it saves, and, once the window shows, what the
// guard put back and whether it runs.
#include "other_pane.h"

#include <commctrl.h>

#include <algorithm>

#include "accounts_frm.h"
#include "control_windows.h"
#include "held_store.h"
#include "held_text.h"
#include "messages.h"
#include "resource.h"
#include "string_table.h"
#include "twips.h"
#include "win32_failure.h"

namespace zendrel {

namespace {

// In "Other Settings", right of chkEnable, where the frame has room.
constexpr TwipsRect kAccountsLinkTwips = {105 + 4440, 4875 + 345, 1620, 255};

// The guard's notice: below "Other Settings", between the help link and Close.
constexpr TwipsRect kGuardNoticeTwips = {1440, 7425, 3540, 435};
constexpr int kMaxNoticeRecords = 10;

void Place(HWND control, const TwipsRect& twips, int dpi, HFONT font) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    SetWindowPos(control, nullptr, TwipsToPixels(twips.left, dpi), TwipsToPixels(twips.top, dpi),
                 TwipsToPixels(twips.width, dpi), TwipsToPixels(twips.height, dpi),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// The tooltip of a control that a holder keeps from changing.
// `policyName` is the string id of the policy's name.
std::wstring HeldTip(Holder holder, unsigned policyName) {
    if (holder == Holder::Policy) return LoadText(IDS_HELD_BY_POLICY, {LoadText(policyName)});
    return LoadText(IDS_HELD_BY_ADMINISTRATOR);
}

std::wstring Joined(const std::vector<std::wstring>& names) {
    std::wstring text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += LoadText(i + 1 == names.size() ? IDS_JOIN_LAST : IDS_JOIN);
        text += names[i];
    }
    return text;
}

bool HiveLoaded(const std::wstring& sid) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_USERS, sid.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

AccountRow RowOf(const Account& account) {
    AccountRow row;
    row.name = account.name;
    row.sid = account.sid;
    row.filterOn = account.storedMode;
    if (account.mode.holder != Holder::None) row.held = account.mode.value;
    row.byPolicy = account.mode.holder == Holder::Policy;
    row.hiveLoaded = account.hiveLoaded;
    row.ticked = account.mode.value;
    return row;
}

std::optional<AccountRow> ResolveRow(const std::wstring& name, std::wstring& message) {
    std::optional<std::wstring> sid = ResolveAccount(name);
    if (!sid) {
        message = LoadText(IDS_ACCOUNT_UNKNOWN, {name});
        return std::nullopt;
    }
    Account account;
    account.sid = *sid;
    account.name = AccountName(*sid);
    account.hiveLoaded = HiveLoaded(*sid);
    account.mode = AccountMode(*sid);
    return RowOf(account);
}

}  // namespace

void OtherPane::AddAccountsEntry() {
    // Each made at its place with the window's font, before the window shows.
    auto make = [this](const std::wstring& caption, int id, DWORD visible, const TwipsRect& twips) {
        int dpi = host_.Dpi();
        HWND control = CreateWindowExW(
            0, L"STATIC", caption.c_str(), WS_CHILD | visible | SS_LEFT | SS_NOTIFY | SS_NOPREFIX,
            TwipsToPixels(twips.left, dpi), TwipsToPixels(twips.top, dpi),
            TwipsToPixels(twips.width, dpi), TwipsToPixels(twips.height, dpi), host_.Hwnd(),
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
        if (!control) throw FailureFromLastError(kProgramName);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(host_.WindowFont(false)), FALSE);
    };
    make(LoadText(IDS_ACCOUNTS_LINK), kIdLinkAccounts, WS_VISIBLE, kAccountsLinkTwips);
    // Shown when there is something to say.
    make(std::wstring(), kIdGuardNotice, 0, kGuardNoticeTwips);
    // Above the frames (which lie beneath everything); outside the tab order.
    for (int id : {kIdGuardNotice, kIdLinkAccounts})
        SetWindowPos(host_.Control(id), HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // The keyboard's way in: Alt+Space, then A.
    if (HMENU menu = GetSystemMenu(host_.Hwnd(), FALSE)) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, kSysCmdAccounts, LoadText(IDS_ACCOUNTS_MENU).c_str());
    }
}

void OtherPane::PlaceAccountsLink() {
    Place(host_.Control(kIdLinkAccounts), kAccountsLinkTwips, host_.Dpi(), host_.WindowFont(false));
    Place(host_.Control(kIdGuardNotice), kGuardNoticeTwips, host_.Dpi(), host_.WindowFont(false));
}

std::optional<LRESULT> OtherPane::HandleHeldMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == kSysCmdAccounts) {
                OpenFilteredAccounts();
                return 0;
            }
            if ((wParam & 0xFFF0) == kSysCmdGuardNotice) {
                ShowGuardDetails();
                return 0;
            }
            return std::nullopt;
        case WM_COMMAND:
            if (HIWORD(wParam) != STN_CLICKED) return std::nullopt;
            if (LOWORD(wParam) == kIdLinkAccounts) {
                OpenFilteredAccounts();
                return 0;
            }
            if (LOWORD(wParam) == kIdGuardNotice) {
                ShowGuardDetails();
                return 0;
            }
            return std::nullopt;
        case WM_CTLCOLORSTATIC: {
            auto control = reinterpret_cast<HWND>(lParam);
            if (control != host_.Control(kIdLinkAccounts) &&
                control != host_.Control(kIdGuardNotice))
                return std::nullopt;
            return LinkColors(reinterpret_cast<HDC>(wParam), LinkLook{}.color);
        }
        case WM_SETCURSOR: {
            auto under = reinterpret_cast<HWND>(wParam);
            if ((under != host_.Control(kIdLinkAccounts) &&
                 under != host_.Control(kIdGuardNotice)) ||
                !LinkCursor())
                return std::nullopt;
            SetCursor(LinkCursor());
            return TRUE;
        }
        case WM_DPICHANGED:
            // The main table's controls move first; this link and the tips after.
            PostMessageW(host_.Hwnd(), kWmHeldPlace, 0, 0);
            return std::nullopt;
        case kWmHeldPlace:
            PlaceAccountsLink();
            ShowHeldState();
            return 0;
        case kWmShown:
            // Once the window shows: the tips of held controls and the notice.
            host_.EnsureTooltip();
            ShowHeldState();
            ShowGuardNotice();
            return std::nullopt;  // the window's own work for the message goes on
    }
    return std::nullopt;
}

void OtherPane::LoadHeldState(const Holds& holds) {
    held_ = HeldState{};
    const HeldValues& policy = holds.policy;
    const HeldValues& kept = holds.held;
    if (policy.activityLogging)
        held_.logging = {*policy.activityLogging, Holder::Policy};
    else if (kept.activityLogging)
        held_.logging = {*kept.activityLogging, Holder::Administrator};
    if (kept.password) held_.password = *kept.password;
    held_.mode = holds.mode;
    held_.anything = policy.activityLogging || kept.activityLogging || kept.password ||
                     !policy.accounts.empty() || !kept.accounts.empty() ||
                     held_.mode.holder != Holder::None;
}

void OtherPane::ShowHeldState() {
    // A held switch shows its held value, without the Click that would store
    // it, and cannot be changed.
    auto hold = [this](CheckBox& box, const std::optional<Effective<bool>>& value,
                       unsigned policyName) {
        if (!value || value->holder == Holder::None) return;
        if (box.Value() != (value->value ? 1 : 0))
            SendMessageW(box.Hwnd(), BM_SETCHECK, value->value ? BST_CHECKED : BST_UNCHECKED, 0);
        EnableWindow(box.Hwnd(), FALSE);
        AddHeldTip(box.Hwnd(), HeldTip(value->holder, policyName));
    };
    // Activity logging kept by the administrator stays for an administrator
    // to change (another account is told at Yes); a policy's is fixed.
    if (held_.logging && held_.logging->holder == Holder::Policy)
        hold(chkLogging, held_.logging, IDS_POLICY_LOGGING);
    std::optional<Effective<bool>> mode;
    if (held_.mode.holder != Holder::None) mode = held_.mode;
    hold(chkEnable, mode, IDS_POLICY_MODE);
    if (mode && mode->holder == Holder::Administrator)
        AddHeldTip(chkEnable.Hwnd(), LoadText(IDS_HELD_ACCOUNT_TIP));
}

void OtherPane::AddHeldTip(HWND control, const std::wstring& text) {
    HWND tooltip = host_.Tooltip();
    if (!tooltip) return;  // made once the window shows; ShowHeldState runs again then
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, host_.Hwnd(), reinterpret_cast<POINT*>(&rect), 2);
    // A disabled control gets no mouse messages: the tip belongs to the
    // window, over the control's rectangle.
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = host_.Hwnd();
    tool.uId = static_cast<UINT_PTR>(GetDlgCtrlID(control));
    tool.rect = rect;
    tool.lpszText = const_cast<wchar_t*>(text.c_str());  // the tooltip keeps a copy
    SendMessageW(tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void OtherPane::KeepHeldSettings(Settings& current) {
    // What Group Policy or the administrator keeps is not written here: the
    // switch of this account (changed in Filtered Accounts only) and a
    // setting of policy.
    if (held_.mode.holder != Holder::None) current.mode.reset();
    if (held_.logging && held_.logging->holder == Holder::Policy) current.activityLogging.reset();
    if (CanWriteHeld()) return;
    // An account that cannot write the held copy keeps the held values; it
    // is told so before anything is written.
    std::vector<std::wstring> kept;
    if (held_.logging && current.activityLogging) {
        if (*current.activityLogging != held_.logging->value)
            kept.push_back(LoadText(IDS_KEPT_LOGGING));
        current.activityLogging.reset();
    }
    if (held_.password && current.password) {
        if (*current.password != *held_.password) kept.push_back(LoadText(IDS_KEPT_PASSWORD));
        current.password.reset();
    }
    if (kept.empty()) return;
    std::wstring what = Joined(kept);
    MessageBoxW(host_.Hwnd(),
                LoadText(kept.size() == 1 ? IDS_KEPT_ONE : IDS_KEPT_MANY, {what}).c_str(),
                LoadText(IDS_KEPT_TITLE).c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void OtherPane::ShowGuardNotice() {
    std::vector<NamedRecord> records = LoadRecords();
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [](const NamedRecord& r) { return r.record.shown; }),
                  records.end());
    // The guard matters only while something is kept.
    GuardState guard = held_.anything ? QueryGuardState() : GuardState::Running;
    bool guardDown = guard != GuardState::Running && guard != GuardState::Starting;
    if (records.empty() && !guardDown) return;

    std::wstring notice, details;
    if (!records.empty()) {
        std::wstring count = std::to_wstring(records.size());
        bool one = records.size() == 1;
        notice =
            guardDown
                ? LoadText(one ? IDS_NOTICE_PUT_BACK_ONE : IDS_NOTICE_PUT_BACK_MANY, {count})
                : LoadText(one ? IDS_NOTICE_PUT_BACK_OUTSIDE_ONE : IDS_NOTICE_PUT_BACK_OUTSIDE_MANY,
                           {count});
        details = LoadText(IDS_DETAILS_PUT_BACK);
        std::size_t first =
            records.size() > kMaxNoticeRecords ? records.size() - kMaxNoticeRecords : 0;
        for (std::size_t i = first; i < records.size(); ++i)
            details += LoadText(IDS_DETAILS_RECORD, {RecordSentence(records[i].record)});
        if (first > 0) details += LoadText(IDS_DETAILS_EARLIER, {std::to_wstring(first)});
    }
    if (guardDown) {
        std::wstring state = LoadText(guard == GuardState::NotInstalled ? IDS_GUARD_NOT_INSTALLED
                                                                        : IDS_GUARD_NOT_RUNNING);
        // Two lines at most in the room between the help link and Close.
        notice = notice.empty() ? LoadText(IDS_NOTICE_GUARD, {state})
                                : LoadText(IDS_NOTICE_AND_GUARD, {notice, state});
        if (!details.empty()) details += L"\r\n";
        details += LoadText(IDS_DETAILS_GUARD, {state});
    }
    guardDetails_ = details;
    guardDetailsIcon_ = guardDown ? MB_ICONEXCLAMATION : MB_ICONINFORMATION;
    HWND label = host_.Control(kIdGuardNotice);
    SetWindowTextW(label, LoadText(IDS_NOTICE_DETAILS, {notice}).c_str());
    ShowWindow(label, SW_SHOWNA);
    if (HMENU menu = GetSystemMenu(host_.Hwnd(), FALSE))
        if (GetMenuState(menu, kSysCmdGuardNotice, MF_BYCOMMAND) == static_cast<UINT>(-1))
            AppendMenuW(menu, MF_STRING, kSysCmdGuardNotice, LoadText(IDS_GUARD_MENU).c_str());
    // Each record is shown once: this window has shown it.
    std::vector<std::wstring> names;
    for (const NamedRecord& r : records) names.push_back(r.name);
    if (!names.empty()) MarkRecordsShown(names);
}

void OtherPane::ShowGuardDetails() {
    if (guardDetails_.empty()) return;
    MessageBoxW(host_.Hwnd(), guardDetails_.c_str(), LoadText(IDS_GUARD_TITLE).c_str(),
                MB_OK | guardDetailsIcon_);
}

void OtherPane::OpenFilteredAccounts() {
    if (host_.Busy()) return;
    std::vector<AccountRow> rows;
    for (const Account& account : Accounts()) rows.push_back(RowOf(account));
    std::vector<AccountRow> before = rows;
    accountsFrm dialog(std::move(rows), ResolveRow, host_.Dpi());
    if (dialog.DisplayDialog(host_.Hwnd()) != 1) return;

    // What changed: a tick that moved, an account added, or a ticked account
    // that was not kept yet.
    std::vector<const AccountRow*> changes;
    for (std::size_t i = 0; i < dialog.Rows().size(); ++i) {
        const AccountRow& row = dialog.Rows()[i];
        if (row.byPolicy) continue;
        bool added = i >= before.size();
        if (added || row.ticked != before[i].ticked || (row.ticked && !row.held))
            changes.push_back(&row);
    }
    if (changes.empty()) return;
    if (!CanWriteHeld()) {
        MessageBoxW(host_.Hwnd(), LoadText(IDS_ACCOUNTS_ADMIN_ONLY).c_str(),
                    LoadText(IDS_ACCOUNTS_CAPTION).c_str(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    std::vector<std::wstring> now[2], later[2], failed;
    for (const AccountRow* row : changes) {
        AccountModeResult result = SetAccountMode(row->sid, row->ticked);
        if (result.outcome.kind != Outcome::Kind::Done)
            failed.push_back(row->name);
        else
            (result.writtenNow ? now : later)[row->ticked ? 1 : 0].push_back(row->name);
    }
    std::wstring text;
    for (int on : {1, 0}) {
        if (!now[on].empty())
            text += LoadText(on ? IDS_FILTER_NOW_ON : IDS_FILTER_NOW_OFF, {Joined(now[on])});
        if (!later[on].empty())
            text += LoadText(on ? IDS_FILTER_LATER_ON : IDS_FILTER_LATER_OFF, {Joined(later[on])});
    }
    if (!failed.empty()) text += LoadText(IDS_FILTER_FAILED, {Joined(failed)});
    MessageBoxW(host_.Hwnd(), text.c_str(), LoadText(IDS_ACCOUNTS_CAPTION).c_str(),
                MB_OK | (failed.empty() ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
    // This account's own switch may be among them.
    LoadHeldState(LoadHolds());
    ShowHeldState();
}

}  // namespace zendrel
