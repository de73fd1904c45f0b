// The store against the real registry of the test prefix and a real
// urls.txt, without any window: what each loader gives, what each saver
// writes byte for byte, and what it says when Windows refuses.
#include <windows.h>

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "settings_fixture.h"
#include "settings_store.h"

namespace zendrel::test {
namespace {

using Rows = std::vector<std::wstring>;
using namespace std::string_literals;

class StoreTest : public SettingsFixture {
  protected:
    SettingsStore Store() const { return SettingsStore(Folder()); }
};

// The store's step hook while the object lives.
class StepHookFor {
  public:
    explicit StepHookFor(StoreStepHook hook) { SetStoreStepHook(std::move(hook)); }
    ~StepHookFor() { SetStoreStepHook({}); }
    StepHookFor(const StepHookFor&) = delete;
    StepHookFor& operator=(const StepHookFor&) = delete;
};

TEST_F(StoreTest, ApprovedSitesLoadLineByLineAndSaveBackExactly) {
    // Empty and one-letter lines are dropped; blanks, duplicates and letter
    // case are kept; the last line needs no line end; lone LFs end lines too.
    WriteUrls("www.example.com\r\n\r\nx\n  spaced.example  \r\nDup.Example\r\nDup.Example\r\nab");
    Rows sites = Store().LoadApprovedSites();
    EXPECT_EQ(sites, (Rows{L"www.example.com", L"  spaced.example  ", L"Dup.Example",
                           L"Dup.Example", L"ab"}));
    sites.push_back(L"na\u00EFve.example");  // ANSI text: code page 1252 here
    EXPECT_EQ(Store().SaveApprovedSites(sites).kind, Outcome::Kind::Done);
    EXPECT_EQ(ReadUrls(),
              "www.example.com\r\n  spaced.example  \r\nDup.Example\r\nDup.Example\r\nab\r\n"
              "na\xEFve.example\r\n");
    EXPECT_EQ(Store().SaveApprovedSites({}).kind, Outcome::Kind::Done);
    EXPECT_EQ(ReadUrls(), "");
}

TEST_F(StoreTest, ASaveWritesItsListUnlessUrlsTxtChangedSinceTheLoad) {
    WriteUrls("a.example\r\nb.example\r\n");
    auto loaded = Store().LoadUrlsBytes();
    // Rewritten meanwhile with the same sites and other line ends: unchanged.
    WriteUrls("a.example\nb.example");
    Rows sorted = {L"b.example", L"a.example", L"c.example"};
    Store().SaveApprovedSites(sorted, *loaded);
    EXPECT_EQ(ReadUrls(), "b.example\r\na.example\r\nc.example\r\n");
    // Another program adds a row and removes one meanwhile: both stay done.
    loaded = Store().LoadUrlsBytes();
    WriteUrls("b.example\r\ntool.example\r\nc.example\r\n");
    Store().SaveApprovedSites({L"b.example", L"c.example", L"d.example"}, *loaded);
    EXPECT_EQ(ReadUrls(), "b.example\r\ntool.example\r\nc.example\r\nd.example\r\n");
    // A change that keeps the file's size is a change too.
    loaded = Store().LoadUrlsBytes();
    WriteUrls("b.example\r\nTOOL.example\r\nc.example\r\nd.example\r\n");
    Store().SaveApprovedSites({L"b.example", L"tool.example", L"c.example"}, *loaded);
    EXPECT_EQ(ReadUrls(), "b.example\r\nTOOL.example\r\nc.example\r\n");
}

TEST_F(StoreTest, AMissingOrHeldUrlsFileIsAFailureOrARefusal) {
    WriteUrls("kept.example\r\n");
    HANDLE held =
        CreateFileW(UrlsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Store().SaveApprovedSites({L"new.example"}).kind, Outcome::Kind::Refused);
    CloseHandle(held);
    EXPECT_EQ(ReadUrls(), "kept.example\r\n");

    DeleteUrls();
    Outcome missing = Store().SaveApprovedSites({L"new.example"});
    ASSERT_EQ(missing.kind, Outcome::Kind::Failed);
    EXPECT_EQ(missing.failure->Number(), 53);
    EXPECT_EQ(ReadUrls(), "<missing>");  // never created
}

TEST_F(StoreTest, RequestsSplitAtEveryNulAndASaveTakesAwayOnlyTheRemovedEntries) {
    EXPECT_EQ(Store().LoadRequestedSites(), Rows{});
    // As the add-on writes it: every string ended by a NUL, one more at the end.
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, "x.example\0\0y.example\0\0"s);
    EXPECT_EQ(Store().LoadRequestedSites(), (Rows{L"x.example", L"", L"y.example", L""}));
    // Since the load the add-on recorded two more, one of them asked for again.
    ASSERT_EQ(RunAddonStandin(L"append-request z.example"), 0u);
    ASSERT_EQ(RunAddonStandin(L"append-request x.example"), 0u);
    EXPECT_EQ(Store().SaveRequestedSites({L"x.example", L"gone.example"}).kind,
              Outcome::Kind::Done);
    StoredValue stored = GetValue(HKEY_LOCAL_MACHINE, "requests");
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(stored.bytes, "y.example\0z.example\0x.example\0"s);
    Store().SaveRequestedSites({L"y.example", L"z.example", L"x.example"});
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "requests").bytes, "\0"s);
}

// Any user can write "requests": one far longer than any list of requests is
// reported rather than read, and no save writes over what it could not read.
TEST_F(StoreTest, RequestsLongerThanTheStoreReadsAreReportedAndNeverWrittenOver) {
    const std::string entry = "kids.example\0"s;
    std::string within, huge;
    while (within.size() < 2 * 1024 * 1024) within += entry;
    while (huge.size() < 9 * 1024 * 1024) huge += entry;
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, within + '\0');
    EXPECT_EQ(Store().LoadRequestedSites().size(), within.size() / entry.size() + 1);  // and ""
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, huge + '\0');
    try {
        Store().LoadRequestedSites();
        ADD_FAILURE() << "read whole";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.Number(), kOverflow);
        EXPECT_NE(failure.Description().find(L"the requested sites were not read"),
                  std::wstring::npos);
    }
    LoadResult loaded = Store().Load();
    EXPECT_TRUE(loaded.failure);
    EXPECT_FALSE(loaded.settings.requestedSites);
    EXPECT_EQ(Store().SaveRequestedSites({L"kids.example"}).kind, Outcome::Kind::Failed);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "requests").bytes.size(), huge.size() + 1);
}

// The add-on appends by reading and writing the whole value: one append that
// lands after the save read the value, before it writes, is kept.
TEST_F(StoreTest, ARequestAppendedWhileTheSaveWorksIsNotWrittenOver) {
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, "a.example\0b.example\0\0"s);
    int reads = 0;
    {
        StepHookFor hook([&](StoreStep step, const wchar_t* name) {
            if (step == StoreStep::Read && std::wstring_view(name) == L"requests" && ++reads == 1) {
                EXPECT_EQ(RunAddonStandin(L"append-request c.example"), 0u);
            }
        });
        EXPECT_EQ(Store().SaveRequestedSites({L"a.example"}).kind, Outcome::Kind::Done);
    }
    EXPECT_GE(reads, 2);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "requests").bytes, "b.example\0c.example\0"s);
}

TEST_F(StoreTest, ASwitchIsOnOnlyForOneAndIsWrittenAsADword) {
    struct Case {
        DWORD type;
        std::string bytes;
        bool on;
    };
    for (const Case& c : {Case{REG_DWORD, Dword(1), true}, Case{REG_DWORD, Dword(2), false},
                          Case{REG_DWORD, Dword(0), false}, Case{REG_SZ, "1\0"s, true}}) {
        SetValue(HKEY_LOCAL_MACHINE, "activitylogging", c.type, c.bytes);
        EXPECT_EQ(Store().LoadActivityLogging(), c.on) << c.bytes;
    }
    EXPECT_FALSE(GetValue(HKEY_CURRENT_USER, "mode").exists);
    EXPECT_EQ(Store().SaveActivityLogging(true).kind, Outcome::Kind::Done);
    StoredValue saved = GetValue(HKEY_LOCAL_MACHINE, "activitylogging");
    EXPECT_EQ(saved.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(saved.bytes, Dword(1));
}

TEST_F(StoreTest, ASwitchThatIsNoSmallNumberIsAFailedLoad) {
    struct Case {
        DWORD type;
        std::string bytes;
        int number;
    };
    for (const Case& c : {Case{REG_SZ, "on\0"s, 13}, Case{REG_DWORD, Dword(40000), 6}}) {
        SetValue(HKEY_LOCAL_MACHINE, "activitylogging", c.type, c.bytes);
        try {
            Store().LoadActivityLogging();
            ADD_FAILURE() << "loaded " << c.bytes;
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.Number(), c.number);
        }
    }
}

TEST_F(StoreTest, AUserWithoutTheKeyGetsItWithModeOffAndAKeyWithoutModeIsLeftAlone) {
    EXPECT_FALSE(Store().LoadMode());
    StoredValue mode = GetValue(HKEY_CURRENT_USER, "mode");
    EXPECT_EQ(mode.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(mode.bytes, Dword(0));

    DeleteKeyTree(HKEY_CURRENT_USER, kSettingsPath);
    CreateUserKey();
    EXPECT_FALSE(Store().LoadMode());
    EXPECT_FALSE(GetValue(HKEY_CURRENT_USER, "mode").exists);
}

TEST_F(StoreTest, LoadStopsAtTheFirstFailureAndLeavesTheRestAbsent) {
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, "asked.example\0\0"s);
    SetValue(HKEY_LOCAL_MACHINE, "activitylogging", REG_SZ, "on\0"s);
    LoadResult result = Store().Load();
    ASSERT_TRUE(result.failure);
    EXPECT_EQ(result.failure->Number(), 13);
    EXPECT_EQ(result.settings.approvedSites, Rows{});
    EXPECT_EQ(result.settings.requestedSites, (Rows{L"asked.example", L""}));
    EXPECT_FALSE(result.settings.activityLogging);
    EXPECT_FALSE(result.settings.mode);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER));  // the mode loader never ran

    DeleteUrls();
    result = Store().Load();
    EXPECT_EQ(result.failure->Number(), 53);
    EXPECT_FALSE(result.settings.approvedSites);
    EXPECT_FALSE(result.settings.requestedSites);
}

TEST_F(StoreTest, AbsentSettingsAreNeverWritten) {
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, "asked.example\0\0"s);
    SetDword(HKEY_LOCAL_MACHINE, "activitylogging", 1);
    WriteUrls("kept.example\r\n");
    Settings nothing;
    for (Setting setting : kSaveOrder)
        EXPECT_EQ(Store().Save(setting, nothing).kind, Outcome::Kind::Skipped);
    EXPECT_EQ(ReadUrls(), "kept.example\r\n");
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "requests").bytes, "asked.example\0\0"s);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").bytes, Dword(1));
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "config").exists);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER));
}

TEST_F(StoreTest, AnUnreadableValueIsAFailedLoadNeverTheDefault) {
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, "asked.example\0\0"s);
    machineKey_->Deny(KEY_QUERY_VALUE);
    EXPECT_THROW(Store().LoadRequestedSites(), Failure);
    // Nor is it written over at save.
    EXPECT_NE(Store().SaveRequestedSites({L"asked.example"}).kind, Outcome::Kind::Done);
    machineKey_->Restore();
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "requests").bytes, "asked.example\0\0"s);
}

TEST_F(StoreTest, AStoredPasswordThatIsNoTextKeepsTheSettingsClosed) {
    for (DWORD type : {REG_DWORD, REG_QWORD, REG_BINARY, REG_MULTI_SZ}) {
        SetValue(HKEY_LOCAL_MACHINE, "config", type, "12345678"s);
        EXPECT_THROW(Store().LoadPassword(), Failure) << type;
    }
    SetValue(HKEY_LOCAL_MACHINE, "config", REG_EXPAND_SZ, "0123456789abcdef0123456789abcdef\0"s);
    EXPECT_EQ(Store().LoadPassword().digest, L"0123456789abcdef0123456789abcdef");
}

TEST_F(StoreTest, ThePasswordIsWrittenConfigFirstAndARefusedConfigKeepsTheHint) {
    EXPECT_EQ(Store().LoadPassword(), PasswordSetting{});
    EXPECT_EQ(Store().SavePassword({L"0123456789abcdef0123456789abcdef", L"a hint"}).kind,
              Outcome::Kind::Done);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "config").bytes, "0123456789abcdef0123456789abcdef\0"s);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "config").type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Store().LoadPassword(),
              (PasswordSetting{L"0123456789abcdef0123456789abcdef", L"a hint"}));

    // Only "config" is refused: the key is closed to writes just before it
    // and open again before any other value.
    std::vector<std::wstring> writes;
    {
        StepHookFor hook([&](StoreStep step, const wchar_t* name) {
            if (step != StoreStep::Write) return;
            writes.push_back(name);
            if (writes.back() == L"config")
                machineKey_->Deny(KEY_SET_VALUE);
            else
                machineKey_->Restore();
        });
        EXPECT_EQ(Store().SavePassword({L"fedcba9876543210fedcba9876543210", L"new hint"}).kind,
                  Outcome::Kind::Refused);
    }
    machineKey_->Restore();
    EXPECT_EQ(writes, std::vector<std::wstring>{L"config"});
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "hint").bytes, "a hint\0"s);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "config").bytes, "0123456789abcdef0123456789abcdef\0"s);
}

TEST_F(StoreTest, RefusedRegistryWritesAreRefusals) {
    machineKey_->Deny(KEY_SET_VALUE);
    EXPECT_EQ(Store().SaveActivityLogging(true).kind, Outcome::Kind::Refused);
    EXPECT_EQ(Store().SaveRequestedSites({L"a.example"}).kind, Outcome::Kind::Refused);
    machineKey_->Restore();
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").exists);
}

TEST_F(StoreTest, AnUnreadableSettingsKeyKeepsThePasswordClosed) {
    machineKey_->Deny(KEY_READ);
    try {
        Store().LoadPassword();
        ADD_FAILURE() << "the password loaded from an unreadable key";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.Number(), 70);
    }
    machineKey_->Restore();
}

TEST_F(StoreTest, AHundredThousandSitesGoThroughUnchanged) {
    std::string file;
    for (int i = 0; i < 100000; ++i) file += "site" + std::to_string(i) + ".example\r\n";
    WriteUrls(file);
    Rows sites = Store().LoadApprovedSites();
    ASSERT_EQ(sites.size(), 100000u);
    EXPECT_EQ(sites.back(), L"site99999.example");
    Store().SaveApprovedSites(sites);
    EXPECT_EQ(ReadUrls(), file);
}

}  // namespace
}  // namespace zendrel::test
