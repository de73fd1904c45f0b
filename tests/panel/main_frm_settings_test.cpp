// The window as a view of the store: what it shows after a load, what its
// close with Yes writes, and what it tells the user when loading or saving
// fails. The byte formats are the store's tests.
#include <windows.h>

#include <gtest/gtest.h>

#include "panel_fixture.h"

namespace zendrel::test {
namespace {

using Rows = std::vector<std::wstring>;
using namespace std::string_literals;

class MainFrmSettingsTest : public PanelFixture {
  protected:
    // Closes the window with Yes: every setting it holds is saved and the
    // program ends. `answers` follow for the boxes of the save.
    static void CloseWithYes(MainFrm& window, MessageBoxAnswerer& boxes) {
        Click(window.Control(kIdBtnClose));
        EXPECT_TRUE(window.Ended());
        EXPECT_EQ(boxes.Seen().at(0).title, L"Save Changes");
    }
};

TEST_F(MainFrmSettingsTest, TheLoadedSettingsAreShownAndYesWritesWhatTheControlsHold) {
    WriteUrls("a.example\r\n");
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, "asked.example\0\0"s);
    SetDword(HKEY_LOCAL_MACHINE, "activitylogging", 1);
    MessageBoxAnswerer boxes({IDYES});
    auto window = OpenWindow();
    EXPECT_EQ(ListRows(window->Control(kIdListApproved)), Rows{L"a.example"});
    EXPECT_EQ(ListRows(window->Control(kIdListRequested)), (Rows{L"asked.example", L""}));
    EXPECT_EQ(ChkLogging(*window).Value(), 1);
    ListApproved(*window).AddItem(L"b.example");
    Click(window->Control(kIdChkLogging));
    CloseWithYes(*window, boxes);
    EXPECT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(ReadUrls(), "a.example\r\nb.example\r\n");
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").bytes, Dword(0));
    // Nothing approved or denied: "requests" stays as the add-on wrote it.
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "requests").bytes, "asked.example\0\0"s);
    EXPECT_FALSE(IsWindow(window->Hwnd()));
}

TEST_F(MainFrmSettingsTest, AFailedLoadIsReportedOnceAndWhatDidNotLoadIsNeverWritten) {
    DeleteUrls();
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, "asked.example\0\0"s);
    SetDword(HKEY_LOCAL_MACHINE, "activitylogging", 1);
    CreateUserKey();
    SetDword(HKEY_CURRENT_USER, "mode", 1);
    MessageBoxAnswerer boxes({IDOK, IDYES});
    auto window = OpenWindow();
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(boxes.Seen()[0].title, L"Load Settings Error");
    EXPECT_EQ(boxes.Seen()[0].text,
              Report(L"Error occurred trying to load settings: ", L"File not found", 53));
    EXPECT_EQ(boxes.Seen()[0].icon, 16);
    // The window opens with nothing loaded: the later loaders never ran.
    EXPECT_TRUE(IsWindowVisible(window->Hwnd()));
    EXPECT_TRUE(ListRows(window->Control(kIdListRequested)).empty());
    EXPECT_EQ(ChkLogging(*window).Value(), 0);
    EXPECT_EQ(ChkEnable(*window).Value(), 0);
    // What did not load cannot be edited: such an edit could never be saved.
    for (int id : {kIdListApproved, kIdTxtAddSite, kIdBtnAdd, kIdBtnRemove, kIdListRequested,
                   kIdBtnApprove, kIdBtnDeny, kIdBtnReview, kIdChkLogging})
        EXPECT_FALSE(IsWindowEnabled(window->Control(id))) << id;
    for (int id : {kIdChkEnable, kIdChkPwd, kIdTxtPwd, kIdTxtPwdConfirm, kIdTxtHint, kIdBtnClose})
        EXPECT_TRUE(IsWindowEnabled(window->Control(id))) << id;
    EXPECT_EQ(GetFocus(), window->Control(kIdBtnClose));

    // The user's own change of the switch is a choice, and it is stored.
    Click(window->Control(kIdChkEnable));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, Dword(1));
    Click(window->Control(kIdChkEnable));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, Dword(0));

    WriteUrls("kept.example\r\n");  // back before the save: it keeps what it held
    Click(window->Control(kIdBtnClose));
    EXPECT_TRUE(window->Ended());
    EXPECT_EQ(boxes.Seen().size(), 2u);
    EXPECT_EQ(ReadUrls(), "kept.example\r\n");
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "requests").bytes, "asked.example\0\0"s);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").bytes, Dword(1));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, Dword(0));
}

TEST_F(MainFrmSettingsTest, ASwitchThatIsNoNumberIsReportedWithItsNumber) {
    SetValue(HKEY_LOCAL_MACHINE, "activitylogging", REG_SZ, "on\0"s);
    MessageBoxAnswerer boxes({IDOK});
    auto window = OpenWindow();
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(boxes.Seen()[0].text,
              Report(L"Error occurred trying to load settings: ", L"Type mismatch", 13));
}

TEST_F(MainFrmSettingsTest, AMissingFileAtSaveIsReportedAndTheOtherSettingsAreSaved) {
    WriteUrls("site.example\r\n");
    MessageBoxAnswerer boxes({IDYES, IDOK});
    auto window = OpenWindow();
    DeleteUrls();
    Click(window->Control(kIdChkLogging));
    CloseWithYes(*window, boxes);
    ASSERT_EQ(boxes.Seen().size(), 2u);
    EXPECT_EQ(boxes.Seen()[1].title, L"Save Settings Error");
    EXPECT_EQ(
        boxes.Seen()[1].text,
        Report(L"Error occurred trying to save approved site settings: ", L"File not found", 53));
    EXPECT_EQ(boxes.Seen()[1].icon, 16);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").bytes, Dword(1));
}

TEST_F(MainFrmSettingsTest, RefusedWritesGiveThePermissionsMessageOncePerSave) {
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, "old.example\0\0"s);
    MessageBoxAnswerer boxes({IDYES, IDOK});
    auto window = OpenWindow();
    Click(window->Control(kIdChkLogging));
    ListApproved(*window).AddItem(L"added.example");
    machineKey_->Deny(KEY_SET_VALUE);
    CloseWithYes(*window, boxes);
    machineKey_->Restore();
    ASSERT_EQ(boxes.Seen().size(), 2u);
    EXPECT_EQ(boxes.Seen()[1].title, L"System Permissions Required");
    EXPECT_EQ(boxes.Seen()[1].text, kPermissionsText);
    EXPECT_EQ(boxes.Seen()[1].icon, 16);
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").exists);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "requests").bytes, "old.example\0\0"s);
    EXPECT_EQ(ReadUrls(), "added.example\r\n");  // the rest of the save went on
}

TEST_F(MainFrmSettingsTest, TheUserSwitchIsStoredAtEveryChangeAndARefusalIsReportedEachTime) {
    CreateUserKey();
    // Stored as text: the write-back that ticking the box raises stores a DWORD.
    SetValue(HKEY_CURRENT_USER, "mode", REG_SZ, "1\0"s);
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    EXPECT_EQ(ChkEnable(*window).Value(), 1);
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, Dword(1));
    Click(window->Control(kIdChkEnable));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, Dword(0));
    // The logging switch waits for the save.
    Click(window->Control(kIdChkLogging));
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").exists);
    EXPECT_TRUE(boxes.Seen().empty());
    {
        ScratchKey userKey(HKEY_CURRENT_USER, kSettingsPath);  // emptied: "mode" is gone
        userKey.Deny(KEY_SET_VALUE);
        boxes.Then(IDOK);
        boxes.Then(IDOK);
        Click(window->Control(kIdChkEnable));
        Click(window->Control(kIdChkEnable));
    }
    ASSERT_EQ(boxes.Seen().size(), 2u);
    for (const BoxInfo& box : boxes.Seen()) EXPECT_EQ(box.title, L"System Permissions Required");
}

}  // namespace
}  // namespace zendrel::test
