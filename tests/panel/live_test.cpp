// The window stays current while it is open: requests the add-on records,
// urls.txt rewritten by another program and switches changed outside appear
// within a second, merged with the user's own edits, which survive.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>

#include "panel_fixture.h"

namespace zendrel::test {
namespace {

using Rows = std::vector<std::wstring>;
using namespace std::string_literals;

class LiveTest : public PanelFixture {
  protected:
    // Lets the window handle its messages until done() holds, a second at most.
    bool PumpUntil(MainFrm& window, const std::function<bool()>& done) {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 1000; Sleep(10)) {
            Pump(window);
            if (done()) return true;
        }
        return false;
    }
    static Rows NonEmpty(Rows rows) {
        std::erase(rows, L"");
        return rows;
    }
};

TEST_F(LiveTest, NewRequestsAppearAndWhatWasDeniedHereStaysDenied) {
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, "a.example\0b.example\0\0"s);
    MessageBoxAnswerer boxes({IDYES});
    auto window = OpenWindow();
    HWND list = window->Control(kIdListRequested);
    SelectRow(list, 0);
    Click(window->Control(kIdBtnDeny));
    SelectRow(list, 0);  // b.example
    ASSERT_EQ(RunAddonStandin(L"append-request c.example"), 0u);
    EXPECT_TRUE(PumpUntil(*window, [&] { return NonEmpty(ListRows(list)).size() == 2; }));
    EXPECT_EQ(NonEmpty(ListRows(list)), (Rows{L"b.example", L"c.example"}));
    EXPECT_EQ(ListRequested(*window).List(ListRequested(*window).ListIndex()), L"b.example");
    // The sign of the change: the list now has a tooltip that tells it.
    EXPECT_EQ(SendMessageW(window->Tooltip(), TTM_GETTOOLCOUNT, 0, 0), 2);
    Click(window->Control(kIdBtnClose));
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "requests").bytes, "b.example\0c.example\0"s);
}

TEST_F(LiveTest, SitesTheToolAddsAppearWithTheWindowsOwnEditsApplied) {
    WriteUrls("one.example\r\ntwo.example\r\n");
    MessageBoxAnswerer boxes({IDYES});
    auto window = OpenWindow();
    TypeChars(window->Control(kIdTxtAddSite), L"mine.example\r");
    SelectRow(window->Control(kIdListApproved), 0);
    Click(window->Control(kIdBtnRemove));
    ASSERT_EQ(RunBeside(L"zendrelctl.exe", L"--folder \"" + Folder() + L"\" add tool.example"), 0u);
    Rows merged{L"two.example", L"tool.example", L"mine.example"};
    EXPECT_TRUE(
        PumpUntil(*window, [&] { return ListRows(window->Control(kIdListApproved)) == merged; }))
        << "shown: " << ListRows(window->Control(kIdListApproved)).size() << " rows";
    Click(window->Control(kIdBtnClose));
    EXPECT_EQ(ReadUrls(), "two.example\r\ntool.example\r\nmine.example\r\n");
}

TEST_F(LiveTest, SwitchesChangedOutsideShowUnlessTheUserChangedThemHere) {
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    SetDword(HKEY_LOCAL_MACHINE, "activitylogging", 1);
    SetDword(HKEY_CURRENT_USER, "mode", 1);
    EXPECT_TRUE(PumpUntil(*window, [&] {
        return ChkLogging(*window).Value() == 1 && ChkEnable(*window).Value() == 1;
    }));
    Click(window->Control(kIdChkLogging));  // the user's choice: off
    SetDword(HKEY_LOCAL_MACHINE, "activitylogging", 1);
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, "x.example\0\0"s);
    // The request shows: a refresh ran after the switch changed outside.
    ASSERT_TRUE(
        PumpUntil(*window, [&] { return ListRows(window->Control(kIdListRequested)).size() == 2; }));
    EXPECT_EQ(ChkLogging(*window).Value(), 0);
    EXPECT_TRUE(boxes.Seen().empty());
}

TEST_F(LiveTest, AChangeMadeBeforeTheWatchBeganShows) {
    MessageBoxAnswerer boxes;
    auto window = std::make_unique<MainFrm>(Folder(), 96);
    window->Show();
    SetDword(HKEY_CURRENT_USER, "mode", 1);  // no message handled yet: nothing watches
    EXPECT_TRUE(PumpUntil(*window, [&] { return ChkEnable(*window).Value() == 1; }));
}

TEST_F(LiveTest, OnceTheWatchHasBegunNothingIsReadAgainWhileNothingChanges) {
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    // The one look at every place as the watch begins (one to three refreshes).
    PumpUntil(*window, [] { return false; });
    const int atStart = window->LiveRefreshes();
    EXPECT_GE(atStart, 1);
    EXPECT_LE(atStart, 3);
    PumpUntil(*window, [] { return false; });
    EXPECT_EQ(window->LiveRefreshes(), atStart);
    SetDword(HKEY_LOCAL_MACHINE, "activitylogging", 1);
    EXPECT_TRUE(PumpUntil(*window, [&] { return window->LiveRefreshes() > atStart; }));
}

}  // namespace
}  // namespace zendrel::test
