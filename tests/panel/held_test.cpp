// The settings Zendrel keeps, as the window shows them: the Filtered Accounts
// dialog driven as a user drives it, switches held by Group Policy or by the
// administrator, and the notice of what the guard put back. Under Wine the
// one account is the Unix user's, signed in (its hive is HKEY_CURRENT_USER).
#include <windows.h>

#include <commctrl.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "accounts_frm.h"
#include "held_store.h"
#include "held_text.h"
#include "panel_fixture.h"
#include "window_driver.h"

namespace zendrel::test {
namespace {

void SetPolicyDword(HKEY root, const wchar_t* name, DWORD value) {
    ASSERT_TRUE(MakePolicyKey(root));
    HKEY key = nullptr;
    RegCreateKeyExW(root, kPolicyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

std::optional<DWORD> HeldAccount(const std::wstring& sid) {
    DWORD value = 0, size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kHeldAccountsPath, sid.c_str(), RRF_RT_REG_DWORD,
                     nullptr, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

// The tip the window shows over a control, or empty.
std::wstring TipOver(const MainFrm& window, int id) {
    wchar_t text[256] = {};
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = window.Hwnd();
    tool.uId = static_cast<UINT_PTR>(id);
    tool.lpszText = text;
    SendMessageW(window.Tooltip(), TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
    return text;
}

// Runs steps against the Filtered Accounts dialog from a thread timer, which
// ticks inside its modal loop; a step returns false to be tried at the next
// tick. Steps wait while a message box is up (the answerer takes those).
class AccountsDriver {
  public:
    using Step = std::function<bool(HWND dialog)>;
    explicit AccountsDriver(std::vector<Step> steps) : steps_(std::move(steps)) {
        active_ = this;
        timer_ = SetTimer(nullptr, 0, 30, OnTimer);
    }
    ~AccountsDriver() {
        KillTimer(nullptr, timer_);
        active_ = nullptr;
    }
    std::size_t Done() const { return next_; }

  private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        AccountsDriver* self = active_;
        // A step's own message box ticks this timer again inside it.
        if (!self || self->busy_ || FindMessageBox(GetCurrentProcessId())) return;
        HWND dialog = FindWindowW(L"#32770", L"Filtered Accounts");
        if (!dialog || !IsWindowVisible(dialog)) return;
        if (self->next_ < self->steps_.size()) {
            self->busy_ = true;
            if (self->steps_[self->next_](dialog)) ++self->next_;
            self->busy_ = false;
            if (++self->tries_ < 200) return;
        }
        // Out of steps, or one never succeeded: no test hangs.
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    static inline AccountsDriver* active_ = nullptr;
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    int tries_ = 0;
    bool busy_ = false;
    UINT_PTR timer_ = 0;
};

int RowOf(HWND list, const std::wstring& name) {
    LVFINDINFOW find{};
    find.flags = LVFI_STRING;
    find.psz = name.c_str();
    return static_cast<int>(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(&find)));
}

std::wstring Cell(HWND list, int row, int column) {
    wchar_t text[128] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 128;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

class HeldTest : public PanelFixture {};

TEST_F(HeldTest, TheAccountsLinkLiesInFreeSpaceOfOtherSettingsAndTheMenuHasTheDialog) {
    MessageBoxAnswerer boxes;
    auto window = OpenWindow(144);
    HWND link = window->Control(MainFrm::kIdLinkAccounts);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(TextOf(link), L"Filtered Accounts...");
    RECT at = RectInParent(link), frame = RectInParent(window->Control(kIdFrame2)), overlap{};
    EXPECT_TRUE(at.left > frame.left && at.right < frame.right && at.top > frame.top &&
                at.bottom < frame.bottom);
    for (const ControlSpec& row : MainControls()) {
        HWND control = window->Control(row.id);
        if (!control || row.kind == ControlKind::Frame) continue;
        RECT other = RectInParent(control);
        EXPECT_FALSE(IntersectRect(&overlap, &at, &other)) << std::wstring(row.name).c_str();
    }
    EXPECT_NE(GetMenuState(GetSystemMenu(window->Hwnd(), FALSE), kSysCmdAccounts,
                           MF_BYCOMMAND),
              static_cast<UINT>(-1));
    EXPECT_TRUE(boxes.Seen().empty());
}

TEST_F(HeldTest, TickingTheSignedInAccountKeepsItsFilterOnAtOnceAndHoldsTheCheckBox) {
    const std::wstring sid = ThisUserSid(), name = AccountName(sid);
    auto window = OpenWindow();
    ASSERT_EQ(ChkEnable(*window).Value(), 0);
    MessageBoxAnswerer boxes({IDOK, IDOK});
    std::wstring filterBefore, applies;
    AccountsDriver driver({
        [&](HWND dialog) {  // a name Windows does not know is refused
            HWND box = GetDlgItem(dialog, accountsFrm::kIdTxtAccount);
            SetFocus(box);
            TypeChars(box, L"NOSUCHDOMAIN\\nobody");
            Click(GetDlgItem(dialog, accountsFrm::kIdBtnAddAccount));
            return true;
        },
        [&](HWND dialog) {  // the account's row: select it, Space ticks it, OK
            HWND list = GetDlgItem(dialog, accountsFrm::kIdListAccounts);
            int row = RowOf(list, name);
            if (row < 0) return false;
            filterBefore = Cell(list, row, 1);
            applies = Cell(list, row, 3);
            LVITEMW state{};
            state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&state));
            SetFocus(list);
            SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
            SendMessageW(list, WM_KEYUP, VK_SPACE, 0);
            Click(GetDlgItem(dialog, IDOK));
            return true;
        },
    });
    PostMessageW(window->Hwnd(), WM_SYSCOMMAND, kSysCmdAccounts, 0);
    Pump(*window);
    ASSERT_EQ(driver.Done(), 2u);
    EXPECT_EQ(filterBefore, L"off");
    EXPECT_EQ(applies, L"now");
    ASSERT_EQ(boxes.Seen().size(), 2u);
    EXPECT_EQ(boxes.Seen()[0].title, L"Filtered Accounts");
    EXPECT_NE(boxes.Seen()[0].text.find(L"Windows knows no account \"NOSUCHDOMAIN\\nobody\""),
              std::wstring::npos);
    EXPECT_EQ(boxes.Seen()[1].text, L"The filter is now on for " + name + L".\r\n");
    EXPECT_EQ(HeldAccount(sid), 1u);
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, std::string("\1\0\0\0", 4));
    // The check box shows the kept state and cannot be changed; its tip says why.
    EXPECT_EQ(ChkEnable(*window).Value(), 1);
    EXPECT_FALSE(IsWindowEnabled(ChkEnable(*window).Hwnd()));
    EXPECT_NE(TipOver(*window, kIdChkEnable).find(L"Filtered Accounts"), std::wstring::npos);
}

TEST_F(HeldTest, AFilterKeptOnThatItsHiveReadsOffIsShownAsNotPutBack) {
    const std::wstring sid = ThisUserSid(), name = AccountName(sid);
    ASSERT_EQ(HoldAccount(sid, true).kind, Outcome::Kind::Done);
    auto window = OpenWindow();
    SetDword(HKEY_CURRENT_USER, "mode", 0);  // no guard runs in the test prefix
    std::wstring filter;
    AccountsDriver driver({[&](HWND dialog) {
        HWND list = GetDlgItem(dialog, accountsFrm::kIdListAccounts);
        int row = RowOf(list, name);
        if (row < 0) return false;
        filter = Cell(list, row, 1);
        Click(GetDlgItem(dialog, IDCANCEL));
        return true;
    }});
    PostMessageW(window->Hwnd(), WM_SYSCOMMAND, kSysCmdAccounts, 0);
    Pump(*window);
    ASSERT_EQ(driver.Done(), 1u);
    EXPECT_EQ(filter, L"off: not put back");
}

TEST_F(HeldTest, SwitchesSetByGroupPolicyShowThePolicyAndAreNotWritten) {
    SetDword(HKEY_LOCAL_MACHINE, "activitylogging", 1);
    SetPolicyDword(HKEY_LOCAL_MACHINE, L"activitylogging", 0);
    SetPolicyDword(HKEY_CURRENT_USER, L"mode", 1);
    MessageBoxAnswerer boxes({IDYES});
    auto window = OpenWindow();
    EXPECT_EQ(ChkLogging(*window).Value(), 0);
    EXPECT_FALSE(IsWindowEnabled(ChkLogging(*window).Hwnd()));
    EXPECT_EQ(TipOver(*window, kIdChkLogging),
              L"Set by Group Policy (\"Keep the activity log\"): it cannot be changed on this "
              L"computer.");
    EXPECT_EQ(ChkEnable(*window).Value(), 1);
    EXPECT_FALSE(IsWindowEnabled(ChkEnable(*window).Hwnd()));
    EXPECT_NE(TipOver(*window, kIdChkEnable).find(L"Filter web sites for this user"),
              std::wstring::npos);
    Click(window->Control(kIdBtnClose));
    ASSERT_TRUE(window->Ended());
    // Only the question: no refusal of what the window never writes.
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").bytes, std::string("\1\0\0\0", 4));
}

TEST_F(HeldTest, TheGuardsRecordsShowOnceInTheNoticeWithTheGuardsState) {
    GuardRecord record;
    record.what = GuardedValue::ActivityLogging;
    record.year = 2026, record.month = 12, record.day = 9, record.hour = 1, record.minute = 5;
    ASSERT_TRUE(AddRecord(record));
    ASSERT_EQ(HoldActivityLogging(true).kind, Outcome::Kind::Done);
    MessageBoxAnswerer boxes({IDOK});
    {
        auto window = OpenWindow();
        HWND notice = window->Control(MainFrm::kIdGuardNotice);
        EXPECT_TRUE(IsWindowVisible(notice));
        EXPECT_EQ(TextOf(notice),
                  L"Zendrel put back 1 setting; the guard is not installed. Details...");
        EXPECT_TRUE(TextFits(notice));
        EXPECT_TRUE(boxes.Seen().empty());  // nothing in the way of the window
        SendMessageW(window->Hwnd(), WM_SYSCOMMAND, kSysCmdGuardNotice, 0);
        ASSERT_EQ(boxes.Seen().size(), 1u);
        EXPECT_EQ(boxes.Seen()[0].title, L"Zendrel Guard");
        EXPECT_NE(boxes.Seen()[0].text.find(RecordSentence(record)), std::wstring::npos);
        EXPECT_NE(boxes.Seen()[0].text.find(L"is not installed"), std::wstring::npos);
    }
    auto again = OpenWindow();
    HWND notice = again->Control(MainFrm::kIdGuardNotice);
    EXPECT_EQ(TextOf(notice),
              L"The guard is not installed: kept settings are not put back. Details...");
    EXPECT_TRUE(TextFits(notice));
}

}  // namespace
}  // namespace zendrel::test
