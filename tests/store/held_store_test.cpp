// Held settings against the real registry of the test prefix: the held copy
// and its access list, policy over held over the add-on's value, the accounts,
// the guard's records.
#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "held_store.h"
#include "settings_fixture.h"
#include "settings_store.h"

namespace zendrel::test {
namespace {

using namespace std::string_literals;

// While it lives, this thread runs as a standard account (a pupil): the
// test's own token with the Administrators group deny-only and no privilege.
class AsStandardAccount {
  public:
    AsStandardAccount() {
        HANDLE own = nullptr, restricted = nullptr;
        BYTE administrators[SECURITY_MAX_SID_SIZE];
        DWORD size = sizeof administrators;
        SID_AND_ATTRIBUTES denied{administrators, 0};
        bool made = OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &own) &&
                    CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators,
                                       &size) &&
                    CreateRestrictedToken(own, DISABLE_MAX_PRIVILEGE, 1, &denied, 0, nullptr, 0,
                                          nullptr, &restricted);
        if (own) CloseHandle(own);
        EXPECT_TRUE(made) << GetLastError();
        EXPECT_TRUE(made && ImpersonateLoggedOnUser(restricted)) << GetLastError();
        if (restricted) CloseHandle(restricted);
    }
    ~AsStandardAccount() { RevertToSelf(); }
    AsStandardAccount(const AsStandardAccount&) = delete;
    AsStandardAccount& operator=(const AsStandardAccount&) = delete;
};

class HeldTest : public SettingsFixture {
  protected:
    SettingsStore Store(bool hold = false) const {
        SettingsStore store(Folder());
        store.HoldSaves(hold);
        return store;
    }
    static void SetAt(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
        RegCloseKey(key);
    }
    static std::optional<DWORD> GetAt(HKEY root, const std::wstring& path, const wchar_t* name) {
        DWORD value = 0, size = sizeof value;
        if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
            ERROR_SUCCESS)
            return std::nullopt;
        return value;
    }
    // The window's load reads who holds what once, for every switch: it must
    // give what the store's single loaders give.
    void ExpectTheLoadAgrees() const {
        LoadResult loaded = Store().Load();
        ASSERT_FALSE(loaded.failure) << loaded.failure->Description();
        EXPECT_EQ(loaded.settings.activityLogging, Store().LoadActivityLogging());
        EXPECT_EQ(loaded.settings.mode, Store().LoadMode());
        const Holds& holds = loaded.holds;
        EXPECT_EQ(holds.policy.activityLogging ? Holder::Policy
                  : holds.held.activityLogging ? Holder::Administrator
                                               : Holder::None,
                  Store().HolderOf(Setting::ActivityLogging));
        EXPECT_EQ(holds.mode.holder, Store().HolderOf(Setting::Mode));
        EXPECT_EQ(holds.mode.value, AccountMode({}).value);
    }
};

TEST_F(HeldTest, WithNothingHeldASaveWritesOnlyTheAddOnsPlace) {
    EXPECT_EQ(Store().SaveActivityLogging(true).kind, Outcome::Kind::Done);
    EXPECT_EQ(Store().SavePassword({L"d1", L"h"}).kind, Outcome::Kind::Done);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").bytes, Dword(1));
    EXPECT_EQ(GetAt(HKEY_LOCAL_MACHINE, kHeldPath, L"activitylogging"), std::nullopt);
    EXPECT_EQ(Store().HolderOf(Setting::ActivityLogging), Holder::None);
    EXPECT_EQ(Store().HolderOf(Setting::Password), Holder::None);
}

TEST_F(HeldTest, AHoldingSaveWritesTheHeldCopyUnderItsOwnAccessList) {
    ASSERT_TRUE(CanWriteHeld());  // every process of Wine is an elevated administrator
    EXPECT_EQ(Store(true).SaveActivityLogging(true).kind, Outcome::Kind::Done);
    EXPECT_EQ(Store(true).SavePassword({L"digest", L"hint"}).kind, Outcome::Kind::Done);
    EXPECT_EQ(GetAt(HKEY_LOCAL_MACHINE, kHeldPath, L"activitylogging"), 1u);
    EXPECT_EQ(LoadHeld().password, (PasswordSetting{L"digest", L"hint"}));
    // Everyone may read the held key, nothing more.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kHeldPath, 0, READ_CONTROL, &key), ERROR_SUCCESS);
    char buffer[4096];
    DWORD size = sizeof buffer;
    ASSERT_EQ(RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, buffer, &size), ERROR_SUCCESS);
    RegCloseKey(key);
    wchar_t* sddl = nullptr;
    ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(
        buffer, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &sddl, nullptr));
    std::wstring text = sddl;
    LocalFree(sddl);
    EXPECT_NE(text.find(L"D:P"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L";;;WD)"), std::wstring::npos) << text;
    EXPECT_EQ(text.find(L"KA;;;WD"), std::wstring::npos) << text;
    EXPECT_EQ(text.find(L"KW;;;WD"), std::wstring::npos) << text;
}

TEST_F(HeldTest, PolicyWinsOverTheHeldCopyWhichWinsOverTheAddOn) {
    SetDword(HKEY_LOCAL_MACHINE, "activitylogging", 0);
    ASSERT_EQ(HoldActivityLogging(true).kind, Outcome::Kind::Done);
    EXPECT_TRUE(Store().LoadActivityLogging());
    EXPECT_EQ(Store().HolderOf(Setting::ActivityLogging), Holder::Administrator);
    ExpectTheLoadAgrees();
    // Changing a held value writes the held copy first.
    EXPECT_EQ(Store().SaveActivityLogging(false).kind, Outcome::Kind::Done);
    EXPECT_EQ(GetAt(HKEY_LOCAL_MACHINE, kHeldPath, L"activitylogging"), 0u);

    SetAt(HKEY_LOCAL_MACHINE, kPolicyPath, L"activitylogging", 1);
    EXPECT_TRUE(Store().LoadActivityLogging());
    EXPECT_EQ(Store().HolderOf(Setting::ActivityLogging), Holder::Policy);
    ExpectTheLoadAgrees();
    EXPECT_EQ(Store().SaveActivityLogging(false).kind, Outcome::Kind::Refused);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").bytes, Dword(0));  // untouched
    EXPECT_EQ(Store().SaveActivityLogging(true).kind, Outcome::Kind::Done);
}

TEST_F(HeldTest, TheHeldDigestIsThePasswordAndAnUntrustedHeldKeyHoldsNothing) {
    SetValue(HKEY_LOCAL_MACHINE, "config", REG_SZ, std::string("mine\0", 5));
    ASSERT_EQ(HoldPassword({L"admins", L"h"}).kind, Outcome::Kind::Done);
    EXPECT_EQ(Store().LoadPassword().digest, L"admins");
    // A held key that others may write (made before the program set its list).
    ScratchKey held(HKEY_LOCAL_MACHINE, kHeldPath);
    HoldPassword({L"admins", L"h"});
    held.Deny(0);  // Everyone: every right
    EXPECT_EQ(LoadHeld().password, std::nullopt);
    EXPECT_EQ(Store().LoadPassword().digest, L"mine");
    held.Restore();
    EXPECT_TRUE(SecureHeldKey());
    EXPECT_EQ(LoadHeld().password->digest, L"admins");
    // A hint longer than the first read takes comes back whole.
    const std::wstring longHint(300, L'h');
    ASSERT_EQ(HoldPassword({L"admins", longHint}).kind, Outcome::Kind::Done);
    EXPECT_EQ(LoadHeld().password->hint, longHint);
}

TEST_F(HeldTest, InstallingHoldsEverySettingAsItStandsAndLeavesWhatIsHeld) {
    struct Case {
        const char* name;
        std::string config, hint;  // absent when empty
        std::optional<DWORD> logging;
        std::string place;
        PasswordSetting password;
        bool on;
        std::optional<std::wstring> heldPlace;
    };
    const Case cases[] = {
        {"none set", "", "", std::nullopt, "", {L"", L""}, false, std::nullopt},
        {"password set", "d1g", "a hint", 1, "", {L"d1g", L"a hint"}, true, std::nullopt},
        {"log place set", "", "", 2, "C:\\ProgramData\\Zendrel\\ActivityLog.txt", {L"", L""},
         false, L"C:\\ProgramData\\Zendrel\\ActivityLog.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveHeldSettings();
        machineKey_.emplace(HKEY_LOCAL_MACHINE, kSettingsPath);
        if (!c.config.empty()) SetValue(HKEY_LOCAL_MACHINE, "config", REG_SZ, c.config + '\0');
        if (!c.hint.empty()) SetValue(HKEY_LOCAL_MACHINE, "hint", REG_SZ, c.hint + '\0');
        if (c.logging) SetDword(HKEY_LOCAL_MACHINE, "activitylogging", *c.logging);
        if (!c.place.empty())
            SetValue(HKEY_LOCAL_MACHINE, "activitylogloc", REG_SZ, c.place + '\0');
        ASSERT_EQ(HoldInstalled().kind, Outcome::Kind::Done);
        HeldValues held = LoadHeld();
        EXPECT_TRUE(held.present);
        EXPECT_EQ(held.password, c.password);
        EXPECT_EQ(held.activityLogging, c.on);
        EXPECT_EQ(held.logPlace, c.heldPlace);
        // Once held, a setting stays as held, whatever stands beside it now.
        SetValue(HKEY_LOCAL_MACHINE, "config", REG_SZ, "other\0"s);
        SetDword(HKEY_LOCAL_MACHINE, "activitylogging", c.on ? 0 : 1);
        ASSERT_EQ(HoldInstalled().kind, Outcome::Kind::Done);
        EXPECT_EQ(LoadHeld().password, c.password);
        EXPECT_EQ(LoadHeld().activityLogging, c.on);
        SetValue(HKEY_LOCAL_MACHINE, "activitylogloc", REG_SZ, "C:\\pupil.txt\0"s);
        EXPECT_EQ(Store().ActivityLogLocation(), c.heldPlace.value_or(L"C:\\pupil.txt"));
    }
}

TEST_F(HeldTest, WithAHeldCopyAStandardAccountSetsNoPasswordInTheAddOnsKey) {
    ASSERT_EQ(HoldActivityLogging(false).kind, Outcome::Kind::Done);  // nothing else held
    // A settings key whose values users may write, as the add-on does (the
    // store opens it for KEY_WRITE).
    ASSERT_TRUE(SetKeyList(HKEY_LOCAL_MACHINE, kSettingsPath,
                           L"D:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)(A;;0x2001f;;;BU)"));
    {
        AsStandardAccount pupil;
        ASSERT_FALSE(CanWriteHeld());
        HKEY key = nullptr;  // as the add-on, which writes "requests"
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsPath, 0, KEY_SET_VALUE, &key),
                  ERROR_SUCCESS);
        RegCloseKey(key);
        EXPECT_EQ(Store(true).SavePassword({L"pupils", L"mine"}).kind, Outcome::Kind::Refused);
        EXPECT_EQ(Store(true).SaveActivityLogging(false).kind, Outcome::Kind::Done);  // as held
    }
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "config").exists);
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "hint").exists);
    // Nor does a "config" written past the store count as the password.
    SetValue(HKEY_LOCAL_MACHINE, "config", REG_SZ, "pupils\0"s);
    EXPECT_EQ(Store().LoadPassword(), PasswordSetting{});
}

TEST_F(HeldTest, AnAccountsSwitchIsHeldAndWrittenInItsHiveWhenLoaded) {
    std::wstring me = CurrentUserSid();
    std::vector<Account> accounts = Accounts();
    auto listed = std::find_if(accounts.begin(), accounts.end(),
                               [&](const Account& a) { return a.sid == me; });
    ASSERT_NE(listed, accounts.end());
    EXPECT_EQ(ResolveAccount(listed->name), me);
    EXPECT_EQ(ResolveAccount(L"NoSuchDomain\\nobody"), std::nullopt);

    // A profile that is not signed in: held now, written at its sign-in.
    const std::wstring other = L"S-1-5-21-7-7-7-1234";
    DeleteKeyTree(HKEY_USERS, other);
    AccountModeResult later = SetAccountMode(other, true);
    EXPECT_EQ(later.outcome.kind, Outcome::Kind::Done);
    EXPECT_FALSE(later.writtenNow);
    EXPECT_TRUE(AccountMode(other).value);
    EXPECT_EQ(AccountMode(other).holder, Holder::Administrator);
    // Signed in (its hive under HKEY_USERS): written at once.
    SetAt(HKEY_USERS, other + L"\\Volatile Environment", L"x", 0);
    EXPECT_TRUE(SetAccountMode(other, true).writtenNow);
    EXPECT_EQ(GetAt(HKEY_USERS, other + L"\\" + kAddOnPath, L"mode"), 1u);
    DeleteKeyTree(HKEY_USERS, other);

    // The current user's held switch: the window's check box shows it and
    // cannot change it.
    ASSERT_EQ(SetAccountMode(me, true).outcome.kind, Outcome::Kind::Done);
    SetDword(HKEY_CURRENT_USER, "mode", 0);
    EXPECT_TRUE(Store().LoadMode());
    ExpectTheLoadAgrees();
    EXPECT_EQ(Store().SaveMode(false).kind, Outcome::Kind::Refused);
    // A user-policy key that the account may change (as one it made itself,
    // with the list it inherits in its own hive) is no policy...
    SetAt(HKEY_CURRENT_USER, kPolicyPath, L"mode", 0);
    ASSERT_TRUE(SetKeyList(HKEY_CURRENT_USER, kPolicyPath, L"D:(A;;KA;;;WD)"));
    EXPECT_TRUE(Store().LoadMode());
    // ...one as Group Policy leaves it wins, and SetAccountMode refuses to
    // change it.
    ASSERT_TRUE(MakePolicyKey(HKEY_CURRENT_USER));
    EXPECT_FALSE(Store().LoadMode());
    EXPECT_EQ(Store().HolderOf(Setting::Mode), Holder::Policy);
    ExpectTheLoadAgrees();
    EXPECT_EQ(SetAccountMode(me, true).outcome.kind, Outcome::Kind::Refused);
}

TEST_F(HeldTest, RecordsComeInOrderAreMarkedShownAndALoopPushesOutOnlyItsOwn) {
    GuardRecord pupil;
    pupil.what = GuardedValue::Mode;
    pupil.account = L"S-1-5-21-1-2-3-1001";
    pupil.year = 2026;
    pupil.month = pupil.day = 1;
    ASSERT_TRUE(AddRecord(pupil));
    GuardRecord record = pupil;
    record.what = GuardedValue::ActivityLogging;
    record.account.clear();
    for (std::size_t i = 0; i < kMaxRecords + 2; ++i) {
        record.second = static_cast<int>(i % 60);
        ASSERT_TRUE(AddRecord(record));
    }
    std::vector<NamedRecord> records = LoadRecords();
    ASSERT_EQ(records.size(), kMaxRecords);
    EXPECT_EQ(records.front().record, pupil);
    EXPECT_EQ(records[1].name, RecordName(5));
    EXPECT_EQ(records.back().name, RecordName(kMaxRecords + 3));
    MarkRecordsShown({records.back().name});
    records = LoadRecords();
    EXPECT_TRUE(records.back().record.shown);
    EXPECT_FALSE(records.front().record.shown);
}

TEST_F(HeldTest, TheGuardIsNotInstalledInTheTestPrefix) {
    EXPECT_EQ(QueryGuardState(), GuardState::NotInstalled);
}

}  // namespace
}  // namespace zendrel::test
