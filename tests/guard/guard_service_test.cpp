// ZendrelGuard.exe as a service of the test prefix's service control manager:
// installed (CreateService) and started (StartService) by each test, changes
// made by another process (reg.exe, as a standard user would type them), the
// real registry.
#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "guard.h"
#include "handles.h"
#include "held_store.h"
#include "held_text.h"
#include "settings_fixture.h"
#include "settings_store.h"
#include "standard_account.h"

namespace zendrel::test {
namespace {

constexpr DWORD kPatienceMs = 15'000;

bool WaitUntil(const std::function<bool()>& done, DWORD patienceMs = kPatienceMs,
               DWORD stepMs = 50) {
    for (DWORD waited = 0; waited < patienceMs; waited += stepMs) {
        if (done()) return true;
        Sleep(stepMs);
    }
    return done();
}

std::optional<DWORD> DwordAt(HKEY root, const std::wstring& path, const wchar_t* name) {
    DWORD value = 0, size = sizeof value;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

std::optional<std::wstring> TextAt(HKEY root, const std::wstring& path, const wchar_t* name) {
    wchar_t text[256] = {};
    DWORD size = sizeof text;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(text);
}

// reg.exe with these arguments, in a process of its own; its exit code.
DWORD Reg(const std::wstring& arguments) {
    return RunCommandLine(nullptr, L"reg.exe " + arguments);
}

// Whether a put-back of `what` was recorded since `before` (LoadRecords()
// then): a new record, or one that counts one more (the guard counts those
// within a minute of a place's last record in it).
bool RecordedSince(const std::vector<NamedRecord>& before, GuardedValue what) {
    for (const NamedRecord& now : LoadRecords()) {
        if (now.record.what != what) continue;
        auto was = std::find_if(before.begin(), before.end(),
                                [&](const NamedRecord& r) { return r.name == now.name; });
        if (was == before.end() || was->record.count < now.record.count) return true;
    }
    return false;
}

// A profile signed in, as its hive appears under HKEY_USERS, with its filter
// held on and switched on.
void SignInFiltered(const std::wstring& sid) {
    DeleteKeyTree(HKEY_USERS, sid);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_USERS, (sid + L"\\Volatile Environment").c_str(), 0, nullptr,
                              0, KEY_READ, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(HoldAccount(sid, true).kind, Outcome::Kind::Done);
    ASSERT_TRUE(WriteHiveMode(sid, true));
}

// The guard run in the test's own process (so that a test may step into it),
// stopped when the object goes.
class GuardInThisProcess {
  public:
    explicit GuardInThisProcess(Guard::StepHook hook = {})
        : guard_(stop_.Get(), nullptr, std::move(hook)),
          thread_([this] { guard_.Run([this] { SetEvent(watching_.Get()); }); }) {}
    ~GuardInThisProcess() {
        SetEvent(stop_.Get());
        thread_.join();
    }
    // Whether its first look is done and its places are watched.
    bool Watching() { return WaitForSingleObject(watching_.Get(), kPatienceMs) == WAIT_OBJECT_0; }
    Guard& Get() { return guard_; }

  private:
    KernelHandle stop_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    KernelHandle watching_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    Guard guard_;
    std::thread thread_;
};

std::wstring BesideTest(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

class GuardServiceTest : public SettingsFixture {
  protected:
    void SetUp() override {
        SettingsFixture::SetUp();
        RemoveService();
    }
    void TearDown() override {
        RemoveService();
        SettingsFixture::TearDown();
    }

    // Installs the guard as the installer does, as LocalSystem, but started
    // on demand (a test killed before it removes the service must not leave
    // a guard that starts with the prefix; the install test checks the
    // automatic start), and starts it.
    void Start() {
        ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        ASSERT_TRUE(manager);
        std::wstring command = L"\"" + BesideTest(L"ZendrelGuard.exe") + L"\"";
        ServiceHandle service(
            CreateServiceW(manager.Get(), kGuardServiceName, L"Zendrel Guard", SERVICE_ALL_ACCESS,
                           SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                           command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        ASSERT_TRUE(service) << GetLastError();
        ASSERT_TRUE(StartServiceW(service.Get(), 0, nullptr)) << GetLastError();
        ASSERT_TRUE(WaitUntil([] { return QueryGuardState() == GuardState::Running; }));
    }

    // Stops the guard; its exit code as the service control manager has it.
    static std::optional<DWORD> Stop() {
        ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        ServiceHandle service(
            OpenServiceW(manager.Get(), kGuardServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS));
        SERVICE_STATUS status{};
        if (!service || !ControlService(service.Get(), SERVICE_CONTROL_STOP, &status))
            return std::nullopt;
        if (!WaitUntil([&] {
                return QueryServiceStatus(service.Get(), &status) &&
                       status.dwCurrentState == SERVICE_STOPPED;
            }))
            return std::nullopt;
        return status.dwWin32ExitCode;
    }

    static void RemoveService() {
        Stop();
        ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        ServiceHandle service(OpenServiceW(manager.Get(), kGuardServiceName, DELETE));
        if (service) DeleteService(service.Get());
    }

    // Holds activity logging on, a password and the current user's filter on
    // while the add-on's places hold the opposite, as a guard that was
    // stopped would find them, and starts the guard: it is running once its
    // first look has put back and recorded each of the four.
    void HoldAllAndStart() {
        ASSERT_EQ(HoldActivityLogging(true).kind, Outcome::Kind::Done);
        ASSERT_EQ(HoldPassword({L"digest", L"hint"}).kind, Outcome::Kind::Done);
        ASSERT_EQ(HoldAccount(CurrentUserSid(), true).kind, Outcome::Kind::Done);
        SetDword(HKEY_LOCAL_MACHINE, "activitylogging", 0);
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kAddOnPath, L"config");
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kAddOnPath, L"hint");
        CreateUserKey();
        SetDword(HKEY_CURRENT_USER, "mode", 0);
        const std::size_t before = LoadRecords().size();
        Start();
        ASSERT_EQ(DwordAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"activitylogging"), 1u);
        ASSERT_EQ(TextAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"config"), L"digest");
        ASSERT_EQ(TextAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"hint"), L"hint");
        ASSERT_EQ(DwordAt(HKEY_CURRENT_USER, kAddOnPath, L"mode"), 1u);
        ASSERT_EQ(LoadRecords().size(), before + 4);
    }
};

TEST_F(GuardServiceTest, AChangeOrDeletionByAnotherProcessIsPutBackAndRecorded) {
    HoldAllAndStart();
    const std::wstring settings = L"HKLM\\Software\\Orvantix\\Zendrel";
    const std::wstring user = L"HKCU\\Software\\Orvantix\\Zendrel";
    auto logging = [] { return DwordAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"activitylogging") == 1u; };
    auto config = [] { return TextAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"config") == L"digest"; };
    auto hint = [] { return TextAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"hint") == L"hint"; };
    auto mode = [] { return DwordAt(HKEY_CURRENT_USER, kAddOnPath, L"mode") == 1u; };
    struct Row {
        std::wstring reg;
        std::function<bool()> back;
        GuardedValue what;
    };
    const Row rows[] = {
        {L"add " + settings + L" /v activitylogging /t REG_DWORD /d 0 /f", logging,
         GuardedValue::ActivityLogging},
        {L"delete " + settings + L" /v activitylogging /f", logging, GuardedValue::ActivityLogging},
        {L"add " + settings + L" /v config /t REG_SZ /d mine /f", config, GuardedValue::Config},
        {L"delete " + settings + L" /v hint /f", hint, GuardedValue::Hint},
        {L"add " + user + L" /v mode /t REG_DWORD /d 0 /f", mode, GuardedValue::Mode},
        {L"delete " + user + L" /f", mode, GuardedValue::Mode},
    };
    for (const Row& row : rows) {
        const std::vector<NamedRecord> before = LoadRecords();
        ASSERT_EQ(Reg(row.reg), 0u) << row.reg;
        EXPECT_TRUE(WaitUntil(row.back)) << row.reg;
        EXPECT_TRUE(WaitUntil([&] { return RecordedSince(before, row.what); })) << row.reg;
    }
    // "requests" is the add-on's own, and "activitylogloc" until its place is held.
    ASSERT_EQ(Reg(L"add " + settings + L" /v activitylogloc /t REG_SZ /d C:\\x.txt /f"), 0u);
    ASSERT_EQ(Reg(L"delete " + settings + L" /v hint /f"), 0u);
    ASSERT_TRUE(WaitUntil(hint));
    EXPECT_EQ(TextAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"activitylogloc"), L"C:\\x.txt");
    // Held as Setup holds it: the place that stands.
    const std::vector<NamedRecord> before = LoadRecords();
    ASSERT_EQ(Reg(L"add " + settings +
                  L" /v activitylogloc /t REG_SZ /d C:\\ProgramData\\Zendrel\\ActivityLog.txt /f"),
              0u);
    ASSERT_EQ(HoldLogPlace(L"C:\\ProgramData\\Zendrel\\ActivityLog.txt").kind,
              Outcome::Kind::Done);
    Sleep(500);
    EXPECT_FALSE(RecordedSince(before, GuardedValue::LogPlace));
    ASSERT_EQ(Reg(L"add " + settings + L" /v activitylogloc /t REG_SZ /d C:\\mine.txt /f"), 0u);
    EXPECT_TRUE(WaitUntil([] {
        return TextAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"activitylogloc") ==
               L"C:\\ProgramData\\Zendrel\\ActivityLog.txt";
    }));
    EXPECT_TRUE(WaitUntil([&] { return RecordedSince(before, GuardedValue::LogPlace); }));
}

TEST_F(GuardServiceTest, ChangesInQuickSuccessionAreEachPutBack) {
    HoldAllAndStart();
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAddOnPath, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    const DWORD off = 0;
    // Each change as soon as the last is back, while the guard still takes
    // in its own put-back and record.
    for (int i = 0; i < 200; ++i) {
        RegSetValueExW(key, L"activitylogging", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off),
                       sizeof off);
        ASSERT_TRUE(WaitUntil(
            [] { return DwordAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"activitylogging") == 1u; },
            kPatienceMs, 1))
            << "change " << i;
    }
    RegCloseKey(key);
}

TEST_F(GuardServiceTest, AUsersKeyThatRefusesEveryoneIsTakenBack) {
    HoldAllAndStart();
    // The account owns the key in its hive: it gives the key a list that
    // refuses everyone, then switches its filter off through the handle it
    // holds.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kAddOnPath, 0, KEY_SET_VALUE | WRITE_DAC, &key),
              ERROR_SUCCESS);
    auto setList = [&](const wchar_t* sddl) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                         &descriptor, nullptr));
        EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
        LocalFree(descriptor);
    };
    setList(L"D:P(D;;KA;;;WD)");
    const DWORD off = 0;
    RegSetValueExW(key, L"mode", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof off);
    EXPECT_TRUE(WaitUntil([] { return DwordAt(HKEY_CURRENT_USER, kAddOnPath, L"mode") == 1u; }));
    RemoveService();
    setList(L"D:(A;;KA;;;WD)");  // whatever happened, the next test can remove the key
    RegCloseKey(key);
}

TEST_F(GuardServiceTest, AProfileLoadedUnderHkeyUsersGetsItsHeldFilter) {
    // A profile appears as a key made under HKEY_USERS (as its hive loads at
    // sign-in); its account was chosen while it was not signed in.
    const std::wstring other = L"S-1-5-21-7-7-7-4321";
    DeleteKeyTree(HKEY_USERS, other);
    Start();
    ASSERT_EQ(HoldAccount(other, true).kind, Outcome::Kind::Done);
    const std::size_t before = LoadRecords().size();
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_USERS, (other + L"\\Volatile Environment").c_str(), 0, nullptr,
                              0, KEY_READ, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(
        WaitUntil([&] { return DwordAt(HKEY_USERS, other + L"\\" + kAddOnPath, L"mode") == 1u; }));
    // Applying the administrator's choice is no put-back: nothing is recorded.
    EXPECT_EQ(LoadRecords().size(), before);
    // And from then on the profile's switch is held.
    ASSERT_EQ(
        Reg(L"add HKU\\" + other + L"\\Software\\Orvantix\\Zendrel /v mode /t REG_DWORD /d 0 /f"),
        0u);
    EXPECT_TRUE(WaitUntil([&] { return LoadRecords().size() == before + 1; }));
    EXPECT_EQ(DwordAt(HKEY_USERS, other + L"\\" + kAddOnPath, L"mode"), 1u);
    RemoveService();
    DeleteKeyTree(HKEY_USERS, other);
}

TEST_F(GuardServiceTest, APolicyValueWinsOverTheHeldCopy) {
    HoldAllAndStart();
    HKEY policy = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPolicyPath, 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &policy, nullptr),
              ERROR_SUCCESS);
    DWORD off = 0;
    RegSetValueExW(policy, L"activitylogging", 0, REG_DWORD, reinterpret_cast<BYTE*>(&off),
                   sizeof off);
    RegCloseKey(policy);
    EXPECT_TRUE(WaitUntil(
        [] { return DwordAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"activitylogging") == 0u; }));
    ASSERT_EQ(Reg(L"add HKLM\\Software\\Orvantix\\Zendrel /v activitylogging /t REG_DWORD /d 1 /f"),
              0u);
    EXPECT_TRUE(WaitUntil(
        [] { return DwordAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"activitylogging") == 0u; }));
}

TEST_F(GuardServiceTest, TheAdministratorsOwnChangeThroughTheStoreIsKept) {
    HoldAllAndStart();
    const std::size_t before = LoadRecords().size();
    SettingsStore store(Folder());
    store.HoldSaves(true);
    ASSERT_EQ(store.SaveActivityLogging(false).kind, Outcome::Kind::Done);
    ASSERT_EQ(store.SavePassword({L"new digest", L"new hint"}).kind, Outcome::Kind::Done);
    ASSERT_EQ(SetAccountMode(CurrentUserSid(), false).outcome.kind, Outcome::Kind::Done);
    // Long enough for the guard to have undone it, were it to.
    Sleep(2000);
    EXPECT_EQ(DwordAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"activitylogging"), 0u);
    EXPECT_EQ(TextAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"config"), L"new digest");
    EXPECT_EQ(TextAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"hint"), L"new hint");
    EXPECT_EQ(DwordAt(HKEY_CURRENT_USER, kAddOnPath, L"mode"), 0u);
    std::vector<NamedRecord> records = LoadRecords();
    EXPECT_EQ(records.size(), before);
    for (std::size_t i = before; i < records.size(); ++i)
        ADD_FAILURE() << "recorded: " << testing::PrintToString(RecordSentence(records[i].record));
}

TEST_F(GuardServiceTest, StopsCleanlyWhenAsked) {
    HoldAllAndStart();
    EXPECT_EQ(Stop(), std::optional<DWORD>(NO_ERROR));
    EXPECT_EQ(QueryGuardState(), GuardState::Stopped);
    // Stopped, it puts nothing back.
    ASSERT_EQ(Reg(L"add HKLM\\Software\\Orvantix\\Zendrel /v activitylogging /t REG_DWORD /d 0 /f"),
              0u);
    Sleep(1500);
    EXPECT_EQ(DwordAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"activitylogging"), 0u);
}

// What a standard account (the pupil) tries with a program of its own, run
// on a token without the Administrators group: each attempt is refused, or
// put back within a second and recorded; the held copy stays as it was.
TEST_F(GuardServiceTest, EveryAttemptOfAStandardAccountIsRefusedOrPutBackAndRecorded) {
    SetValue(HKEY_LOCAL_MACHINE, "activitylogloc", REG_SZ, std::string("C:\\log.txt\0", 12));
    ASSERT_EQ(HoldLogPlace(L"C:\\log.txt").kind, Outcome::Kind::Done);
    HoldAllAndStart();
    const HeldValues heldBefore = LoadHeld();
    const std::wstring mine = L"HKCU\\Software\\Orvantix\\Zendrel";
    const std::wstring settings = L"HKLM\\Software\\Orvantix\\Zendrel";
    struct Attempt {
        const wchar_t* what;
        std::wstring arguments;
        DWORD exitCode;  // 5: refused
    } const attempts[] = {
        {L"switches its own filter off", L"set " + mine + L" mode 0", ERROR_ACCESS_DENIED},
        {L"deletes its own filter", L"delete " + mine + L" mode", ERROR_ACCESS_DENIED},
        {L"deletes its settings key", L"delete-key " + mine, ERROR_ACCESS_DENIED},
        {L"renames the key above it", L"rename HKCU\\Software\\Orvantix Elsewhere",
         ERROR_ACCESS_DENIED},
        {L"re-lists its settings key", L"deny-system " + mine, ERROR_ACCESS_DENIED},
        {L"switches activity logging off", L"set " + settings + L" activitylogging 0", 0},
        {L"writes a 32 MB password hint", L"huge " + settings + L" hint 32", 0},
        {L"writes a 32 MB password digest", L"huge " + settings + L" config 32", 0},
        {L"points the activity log elsewhere",
         L"set-text " + settings + L" activitylogloc C:\\mine.txt", 0},
    };
    for (const Attempt& a : attempts) {
        SCOPED_TRACE(a.what);
        const std::vector<NamedRecord> records = LoadRecords();
        EXPECT_EQ(Pupil(a.arguments), a.exitCode);
        const DWORD at = GetTickCount();
        EXPECT_TRUE(WaitUntil(
            [] {
                return DwordAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"activitylogging") == 1u &&
                       TextAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"config") == L"digest" &&
                       TextAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"hint") == L"hint" &&
                       TextAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"activitylogloc") ==
                           L"C:\\log.txt" &&
                       DwordAt(HKEY_CURRENT_USER, kAddOnPath, L"mode") == 1u;
            },
            1000, 20))
            << "not put back within a second";
        EXPECT_LT(GetTickCount() - at, 1000u);
        if (a.exitCode == 0)
            EXPECT_TRUE(WaitUntil([&] { return LoadRecords() != records; }, 1000));
        else
            EXPECT_EQ(LoadRecords(), records);
    }
    EXPECT_EQ(QueryGuardState(), GuardState::Running);
    const HeldValues heldAfter = LoadHeld();
    EXPECT_EQ(heldAfter.activityLogging, heldBefore.activityLogging);
    EXPECT_EQ(heldAfter.accounts, heldBefore.accounts);
    ASSERT_TRUE(heldAfter.password);
    EXPECT_EQ(heldAfter.password->digest, L"digest");
}

// A flood: the account flips activity logging for ten seconds as fast as it
// can. The held value stands at the end, the records name it once (a loop is
// counted in one record a minute) and the guard's own CPU time is reported.
TEST_F(GuardServiceTest, ALoopOfChangesEndsHeldInOneCountedRecord) {
    HoldAllAndStart();
    const std::vector<NamedRecord> before = LoadRecords();
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    ServiceHandle service(OpenServiceW(manager.Get(), kGuardServiceName, SERVICE_QUERY_STATUS));
    SERVICE_STATUS_PROCESS process{};
    DWORD size = 0;
    ASSERT_TRUE(QueryServiceStatusEx(service.Get(), SC_STATUS_PROCESS_INFO,
                                     reinterpret_cast<BYTE*>(&process), sizeof process, &size));
    KernelHandle guard(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, process.dwProcessId));
    auto cpuMs = [&] {
        FILETIME created, exited, kernel, user;
        GetProcessTimes(guard.Get(), &created, &exited, &kernel, &user);
        auto ms = [](FILETIME t) { return ((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000; };
        return ms(kernel) + ms(user);
    };
    const ULONGLONG cpuBefore = cpuMs();
    EXPECT_EQ(Pupil(L"flip HKLM\\Software\\Orvantix\\Zendrel activitylogging 10"), 0u);
    EXPECT_TRUE(WaitUntil(
        [] { return DwordAt(HKEY_LOCAL_MACHINE, kAddOnPath, L"activitylogging") == 1u; }, 1000));
    Sleep(500);  // the last put-back's record written
    RecordProperty("guard_cpu_ms_over_10s", std::to_string(cpuMs() - cpuBefore));
    std::size_t added = 0;
    int putBacks = 0;
    for (const NamedRecord& r : LoadRecords()) {
        if (r.record.what != GuardedValue::ActivityLogging) continue;
        auto was = std::find_if(before.begin(), before.end(),
                                [&](const NamedRecord& b) { return b.name == r.name; });
        if (was == before.end()) ++added;
        putBacks += r.record.count - (was == before.end() ? 0 : was->record.count);
    }
    std::printf("put back %d times in %zu new records, guard CPU %llu ms\n", putBacks, added,
                cpuMs() - cpuBefore);
    EXPECT_LE(added, 1u);
    EXPECT_GT(putBacks, 10);
}

// A profile whose settings key is a registry link to another key of its hive
// (its own policy keys, say): the guard writes through no link; it deletes
// the link and makes the key anew.
TEST_F(GuardServiceTest, ALinkInTheAccountsHiveIsNeverFollowed) {
    const std::wstring sid = L"S-1-5-21-7-7-7-6666";
    DeleteKeyTree(HKEY_USERS, sid);
    const std::wstring target = sid + L"\\Software\\Target";
    HKEY key = nullptr;
    for (const std::wstring& path : {target, sid + L"\\Software\\Orvantix"}) {
        ASSERT_EQ(RegCreateKeyExW(HKEY_USERS, path.c_str(), 0, nullptr, 0, KEY_READ, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    const std::wstring settings = sid + L"\\" + kAddOnPath;
    ASSERT_EQ(RegCreateKeyExW(HKEY_USERS, settings.c_str(), 0, nullptr,
                              REG_OPTION_VOLATILE | REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::wstring to = L"\\Registry\\User\\" + target;
    RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(to.data()),
                   static_cast<DWORD>(to.size() * sizeof(wchar_t)));
    RegCloseKey(key);
    ASSERT_EQ(HoldAccount(sid, true).kind, Outcome::Kind::Done);
    Start();
    auto isLink = [&] {
        HKEY link = nullptr;
        if (RegOpenKeyExW(HKEY_USERS, settings.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE,
                          &link) != ERROR_SUCCESS)
            return false;
        bool found = RegQueryValueExW(link, L"SymbolicLinkValue", nullptr, nullptr, nullptr,
                                      nullptr) == ERROR_SUCCESS;
        RegCloseKey(link);
        return found;
    };
    EXPECT_TRUE(WaitUntil([&] { return !isLink() && DwordAt(HKEY_USERS, settings, L"mode") == 1u; }));
    EXPECT_EQ(DwordAt(HKEY_USERS, target, L"mode"), std::nullopt);
    RemoveService();
    ReleaseAccount(sid);
    DeleteKeyTree(HKEY_USERS, sid);
}

// Seventy filtered accounts signed in at once, more than one wait can hold
// (a key each, besides the computer's): a change in the last is put back
// within a second.
TEST_F(GuardServiceTest, EverySignedInAccountIsWatchedHoweverMany) {
    std::vector<std::wstring> sids;
    for (int i = 0; i < 70; ++i) sids.push_back(L"S-1-5-21-7-7-8-" + std::to_wstring(5000 + i));
    for (const std::wstring& sid : sids) ASSERT_NO_FATAL_FAILURE(SignInFiltered(sid));
    Start();
    const std::wstring last = L"HKU\\" + sids.back() + L"\\Software\\Orvantix\\Zendrel";
    const std::vector<NamedRecord> before = LoadRecords();
    ASSERT_EQ(Reg(L"add " + last + L" /v mode /t REG_DWORD /d 0 /f"), 0u);
    const DWORD at = GetTickCount();
    EXPECT_TRUE(WaitUntil(
        [&] { return DwordAt(HKEY_USERS, sids.back() + L"\\" + kAddOnPath, L"mode") == 1u; },
        1000, 10));
    EXPECT_LT(GetTickCount() - at, 1000u);
    EXPECT_TRUE(WaitUntil([&] { return RecordedSince(before, GuardedValue::Mode); }));
    RemoveService();
    for (const std::wstring& sid : sids) {
        ReleaseAccount(sid);
        DeleteKeyTree(HKEY_USERS, sid);
    }
}

// At sign-out the guard lets go of the account's hive (only Windows shows the
// hive unloading); when the account signs in again it is held as before.
TEST_F(GuardServiceTest, AnAccountLetGoAtSignOutIsHeldAgainAtItsNextSignIn) {
    const std::wstring sid = L"S-1-5-21-7-7-7-7777";
    ASSERT_NO_FATAL_FAILURE(SignInFiltered(sid));
    std::optional<GuardInThisProcess> guard(std::in_place);
    ASSERT_TRUE(guard->Watching());
    guard->Get().SignedOut(sid);
    Sleep(200);
    DeleteKeyTree(HKEY_USERS, sid);  // the hive unloaded
    Sleep(200);
    HKEY key = nullptr;  // and loaded again at the next sign-in
    ASSERT_EQ(RegCreateKeyExW(HKEY_USERS, (sid + L"\\Volatile Environment").c_str(), 0, nullptr,
                              0, KEY_READ, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(
        WaitUntil([&] { return DwordAt(HKEY_USERS, sid + L"\\" + kAddOnPath, L"mode") == 1u; }));
    ASSERT_TRUE(WriteHiveMode(sid, false));  // and its changes are watched again
    EXPECT_TRUE(WaitUntil(
        [&] { return DwordAt(HKEY_USERS, sid + L"\\" + kAddOnPath, L"mode") == 1u; }, 1000, 10));
    guard.reset();
    ReleaseAccount(sid);
    DeleteKeyTree(HKEY_USERS, sid);
}

// The guard re-reads the held copy before it puts an account's "mode" back:
// an administrator who switches the filter off between the guard's first
// read and its put-back keeps that choice, and nothing is recorded.
TEST_F(GuardServiceTest, TheAdministratorsChangeBetweenTheGuardsReadsIsKept) {
    const std::wstring sid = L"S-1-5-21-7-7-7-5555";
    ASSERT_NO_FATAL_FAILURE(SignInFiltered(sid));
    KernelHandle stepped(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::optional<GuardInThisProcess> guard(std::in_place, [&](Guard::Step, const std::wstring& at) {
        if (at != sid) return;
        // The administrator's change, as the window makes it: the held copy
        // first, then the account's place.
        EXPECT_EQ(SetAccountMode(sid, false).outcome.kind, Outcome::Kind::Done);
        SetEvent(stepped.Get());
    });
    ASSERT_TRUE(guard->Watching());
    const std::vector<NamedRecord> before = LoadRecords();
    ASSERT_TRUE(WriteHiveMode(sid, false));  // the account's change
    EXPECT_EQ(WaitForSingleObject(stepped.Get(), kPatienceMs), WAIT_OBJECT_0);
    Sleep(1000);  // long enough for the guard to have undone it, were it to
    guard.reset();
    EXPECT_EQ(DwordAt(HKEY_USERS, sid + L"\\" + kAddOnPath, L"mode"), 0u);
    EXPECT_EQ(LoadRecords(), before);
    ReleaseAccount(sid);
    DeleteKeyTree(HKEY_USERS, sid);
}

}  // namespace
}  // namespace zendrel::test
