// The settings store against the real registry of the test prefix and a real
// urls.txt: what the loaders show, what the savers write byte for byte, and
// what the user is told when loading or saving fails.
#include <windows.h>

#include <gtest/gtest.h>

#include "settings_fixture.h"
#include "window_driver.h"

namespace zendrel::test {
namespace {

using Rows = std::vector<std::wstring>;
using namespace std::string_literals;

std::string Dword(DWORD value) {
    return std::string(reinterpret_cast<const char*>(&value), 4);
}

class SettingsStoreTest : public SettingsFixture {
  protected:
    // Runs every saver in the order the window's closing does, as one save.
    static void SaveAll(MainFrm& window) {
        window.BeginSave();
        window.SaveActivityLogging();
        window.SaveApprovedSites();
        window.SaveRequestedSites();
        window.SaveMode();
    }
};

// ---- urls.txt ----

TEST_F(SettingsStoreTest, ApprovedSitesLoadLineByLineAndSaveBackExactly) {
    // Empty and one-letter lines are dropped; blanks, duplicates and letter
    // case are kept; the last line needs no line end.
    WriteUrls("www.example.com\r\n\r\nx\r\n  spaced.example  \r\nDup.Example\r\nDup.Example\r\nab");
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    EXPECT_EQ(
        ListRows(window->listApproved.Hwnd()),
        (Rows{L"www.example.com", L"  spaced.example  ", L"Dup.Example", L"Dup.Example", L"ab"}));
    SaveAll(*window);
    EXPECT_EQ(ReadUrls(),
              "www.example.com\r\n  spaced.example  \r\nDup.Example\r\nDup.Example\r\nab\r\n");
    EXPECT_TRUE(boxes.Seen().empty());
}

TEST_F(SettingsStoreTest, LinesEndedByLineFeedsAloneLoadAlike) {
    WriteUrls("one.example\ntwo.example\n\nthree.example\n");
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    EXPECT_EQ(ListRows(window->listApproved.Hwnd()),
              (Rows{L"one.example", L"two.example", L"three.example"}));
    SaveAll(*window);
    EXPECT_EQ(ReadUrls(), "one.example\r\ntwo.example\r\nthree.example\r\n");
}

TEST_F(SettingsStoreTest, ApprovedSitesAreAnsiText) {
    WriteUrls("caf\xE9.example\r\n");  // e acute in code page 1252
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    EXPECT_EQ(window->listApproved.List(0), L"caf\u00E9.example");
    window->listApproved.AddItem(L"na\u00EFve.example");
    SaveAll(*window);
    EXPECT_EQ(ReadUrls(), "caf\xE9.example\r\nna\xEFve.example\r\n");
}

TEST_F(SettingsStoreTest, AnEmptyListSavesAnEmptyFile) {
    WriteUrls("gone.example\r\n");
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    window->listApproved.RemoveItem(0);
    SaveAll(*window);
    EXPECT_EQ(ReadUrls(), "");
    EXPECT_TRUE(boxes.Seen().empty());
}

TEST_F(SettingsStoreTest, MissingFileStopsTheLoadAtTheFirstLoader) {
    DeleteUrls();
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, "asked.example\0\0"s);
    SetDword(HKEY_LOCAL_MACHINE, "activitylogging", 1);
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(boxes.Seen()[0].title, L"Load Settings Error");
    EXPECT_EQ(boxes.Seen()[0].text,
              Report(L"Error occurred trying to load settings: ", L"File not found", 53));
    EXPECT_EQ(boxes.Seen()[0].icon, 16);
    EXPECT_EQ(boxes.Seen()[0].buttons, std::vector<int>{IDOK});
    // The window opens with nothing loaded: the later loaders never ran.
    EXPECT_TRUE(IsWindowVisible(window->Hwnd()));
    EXPECT_TRUE(ListRows(window->listApproved.Hwnd()).empty());
    EXPECT_TRUE(ListRows(window->listRequested.Hwnd()).empty());
    EXPECT_EQ(window->chkLogging.Value(), 0);
    EXPECT_EQ(window->chkEnable.Value(), 0);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER));
}

TEST_F(SettingsStoreTest, SettingsNeverLoadedAreNeverOverwritten) {
    DeleteUrls();
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, "asked.example\0\0"s);
    SetDword(HKEY_LOCAL_MACHINE, "activitylogging", 1);
    CreateUserKey();
    SetDword(HKEY_CURRENT_USER, "mode", 1);
    MessageBoxAnswerer boxes({IDOK});
    auto window = OpenWindow();
    ASSERT_EQ(boxes.Seen().size(), 1u);
    // The file comes back before the save: it still holds what it held.
    WriteUrls("kept.example\r\n");
    SaveAll(*window);
    EXPECT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(ReadUrls(), "kept.example\r\n");
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "requests").bytes, "asked.example\0\0"s);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").bytes, Dword(1));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, Dword(1));

    // The user's own change of the switch is a choice, and it is stored.
    Click(window->chkEnable.Hwnd());
    EXPECT_EQ(window->chkEnable.Value(), 1);
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, Dword(1));
    Click(window->chkEnable.Hwnd());
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, Dword(0));
}

TEST_F(SettingsStoreTest, MissingFileWhenSavingIsReportedAndTheOtherSaversRun) {
    WriteUrls("site.example\r\n");
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    DeleteUrls();
    Click(window->chkLogging.Hwnd());
    SaveAll(*window);
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(boxes.Seen()[0].title, L"Save Settings Error");
    EXPECT_EQ(
        boxes.Seen()[0].text,
        Report(L"Error occurred trying to save approved site settings: ", L"File not found", 53));
    EXPECT_EQ(boxes.Seen()[0].icon, 16);
    EXPECT_EQ(ReadUrls(), "<missing>");  // never created
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").bytes, Dword(1));
    EXPECT_TRUE(GetValue(HKEY_LOCAL_MACHINE, "requests").exists);
}

TEST_F(SettingsStoreTest, AFileThatCannotBeWrittenGivesThePermissionsMessageOnce) {
    WriteUrls("site.example\r\n");
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    window->listApproved.AddItem(L"new.example");
    // Another program holds the file open without sharing it.
    HANDLE held =
        CreateFileW(UrlsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Click(window->chkLogging.Hwnd());
    SaveAll(*window);
    CloseHandle(held);
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(boxes.Seen()[0].title, L"System Permissions Required");
    EXPECT_EQ(boxes.Seen()[0].text, kPermissionsText);
    EXPECT_EQ(boxes.Seen()[0].icon, 16);
    EXPECT_EQ(boxes.Seen()[0].buttons, std::vector<int>{IDOK});
    EXPECT_EQ(ReadUrls(), "site.example\r\n");
    // The savers after it still ran.
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").bytes, Dword(1));
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "requests").type, static_cast<DWORD>(REG_MULTI_SZ));
}

// ---- "requests" ----

TEST_F(SettingsStoreTest, AbsentRequestsGiveAnEmptyListAndAreWrittenAsAnEmptyValue) {
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    EXPECT_TRUE(ListRows(window->listRequested.Hwnd()).empty());
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "requests").exists);
    SaveAll(*window);
    StoredValue stored = GetValue(HKEY_LOCAL_MACHINE, "requests");
    EXPECT_TRUE(stored.exists);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(stored.bytes, "\0"s);
}

TEST_F(SettingsStoreTest, RequestsSplitAtEveryNulAndEmptyEntriesAreNotWrittenBack) {
    // As the add-on writes it: every string ended by a NUL, one more at the end.
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, "a.example\0b.example\0\0"s);
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    // The text ends with a NUL, which gives an empty last entry.
    EXPECT_EQ(ListRows(window->listRequested.Hwnd()), (Rows{L"a.example", L"b.example", L""}));
    SaveAll(*window);
    StoredValue stored = GetValue(HKEY_LOCAL_MACHINE, "requests");
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(stored.bytes, "a.example\0b.example\0"s);
}

TEST_F(SettingsStoreTest, RequestsWithAnEmptyPieceInsideKeepIt) {
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, "x.example\0\0y.example\0\0"s);
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    EXPECT_EQ(ListRows(window->listRequested.Hwnd()), (Rows{L"x.example", L"", L"y.example", L""}));
    window->listRequested.AddItem(L"z.example");
    SaveAll(*window);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "requests").bytes, "x.example\0y.example\0z.example\0"s);
}

// ---- "activitylogging" ----

TEST_F(SettingsStoreTest, ActivityLoggingIsTickedOnlyForOne) {
    for (DWORD stored : {1u, 2u, 0u}) {
        SetDword(HKEY_LOCAL_MACHINE, "activitylogging", stored);
        MessageBoxAnswerer boxes;
        auto window = OpenWindow();
        EXPECT_EQ(window->chkLogging.Value(), stored == 1 ? 1 : 0) << stored;
        SaveAll(*window);
        StoredValue saved = GetValue(HKEY_LOCAL_MACHINE, "activitylogging");
        EXPECT_EQ(saved.type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(saved.bytes, Dword(stored == 1 ? 1 : 0)) << stored;
    }
}

TEST_F(SettingsStoreTest, ASwitchThatIsNoNumberStopsTheLoad) {
    SetValue(HKEY_LOCAL_MACHINE, "activitylogging", REG_SZ, "on\0"s);
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(boxes.Seen()[0].title, L"Load Settings Error");
    EXPECT_EQ(boxes.Seen()[0].text,
              Report(L"Error occurred trying to load settings: ", L"Type mismatch", 13));
    // The loaders before it did their work; LoadMode never ran.
    EXPECT_TRUE(window->Held().approvedSites);
    EXPECT_TRUE(window->Held().requestedSites);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER));
    SaveAll(*window);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").bytes, "on\0"s);
}

TEST_F(SettingsStoreTest, ASwitchOutsideSixteenBitsIsAnOverflow) {
    SetDword(HKEY_LOCAL_MACHINE, "activitylogging", 40000);
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(boxes.Seen()[0].text,
              Report(L"Error occurred trying to load settings: ", L"Overflow", 6));
}

// ---- "mode" ----

TEST_F(SettingsStoreTest, AUserWithoutTheKeyGetsItWithModeOff) {
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    StoredValue mode = GetValue(HKEY_CURRENT_USER, "mode");
    EXPECT_TRUE(mode.exists);
    EXPECT_EQ(mode.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(mode.bytes, Dword(0));
    EXPECT_EQ(window->chkEnable.Value(), 0);
    EXPECT_TRUE(boxes.Seen().empty());
}

TEST_F(SettingsStoreTest, AKeyWithoutModeIsLeftAsItIs) {
    CreateUserKey();
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    EXPECT_FALSE(GetValue(HKEY_CURRENT_USER, "mode").exists);
    EXPECT_EQ(window->chkEnable.Value(), 0);
}

TEST_F(SettingsStoreTest, LoadingModeOneTicksTheBoxAndWritesTheValueBack) {
    CreateUserKey();
    // Stored as text: the write-back that ticking the box raises stores a DWORD.
    SetValue(HKEY_CURRENT_USER, "mode", REG_SZ, "1\0"s);
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    EXPECT_EQ(window->chkEnable.Value(), 1);
    StoredValue mode = GetValue(HKEY_CURRENT_USER, "mode");
    EXPECT_EQ(mode.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(mode.bytes, Dword(1));
}

TEST_F(SettingsStoreTest, EveryChangeOfTheSwitchIsStoredAtOnce) {
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    Click(window->chkEnable.Hwnd());
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, Dword(1));
    Click(window->chkEnable.Hwnd());
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, Dword(0));
    // Setting it by code raises the same event; setting it unchanged does not.
    window->chkEnable.SetValue(1);
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, Dword(1));
    SetDword(HKEY_CURRENT_USER, "mode", 7);
    window->chkEnable.SetValue(1);
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "mode").bytes, Dword(7));
    // The logging switch waits for the save.
    Click(window->chkLogging.Hwnd());
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").exists);
    EXPECT_TRUE(boxes.Seen().empty());
}

// ---- refused registry writes ----

TEST_F(SettingsStoreTest, RefusedWritesToTheMachineKeyAreReportedOncePerSave) {
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, "old.example\0\0"s);
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    machineKey_->Deny(KEY_SET_VALUE);
    Click(window->chkLogging.Hwnd());
    window->listRequested.RemoveItem(0);
    window->listApproved.AddItem(L"added.example");
    SaveAll(*window);
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(boxes.Seen()[0].title, L"System Permissions Required");
    EXPECT_EQ(boxes.Seen()[0].text, kPermissionsText);
    machineKey_->Restore();
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").exists);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "requests").bytes, "old.example\0\0"s);
    // The rest of the save went on.
    EXPECT_EQ(ReadUrls(), "added.example\r\n");

    // A later save reports again.
    machineKey_->Deny(KEY_SET_VALUE);
    SaveAll(*window);
    machineKey_->Restore();
    EXPECT_EQ(boxes.Seen().size(), 2u);
}

TEST_F(SettingsStoreTest, ARefusedChangeOfTheSwitchIsReportedEachTime) {
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    {
        ScratchKey userKey(HKEY_CURRENT_USER, kSettingsPath);  // emptied: "mode" is gone
        userKey.Deny(KEY_SET_VALUE);
        Click(window->chkEnable.Hwnd());
        Click(window->chkEnable.Hwnd());
        EXPECT_FALSE(GetValue(HKEY_CURRENT_USER, "mode").exists);
    }
    ASSERT_EQ(boxes.Seen().size(), 2u);
    for (const BoxInfo& box : boxes.Seen()) {
        EXPECT_EQ(box.title, L"System Permissions Required");
        EXPECT_EQ(box.text, kPermissionsText);
    }
}

// ---- size ----

TEST_F(SettingsStoreTest, AHundredThousandSitesGoThroughUnchanged) {
    std::string file;
    for (int i = 0; i < 100000; ++i) file += "site" + std::to_string(i) + ".example\r\n";
    WriteUrls(file);
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    EXPECT_EQ(window->listApproved.ListCount(), 100000);
    EXPECT_EQ(window->listApproved.List(99999), L"site99999.example");
    SaveAll(*window);
    EXPECT_EQ(ReadUrls(), file);
    EXPECT_TRUE(boxes.Seen().empty());
}

}  // namespace
}  // namespace zendrel::test
