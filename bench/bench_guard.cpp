// The guard, run as a service of the bench's prefix:
//   put-back  from a change of "activitylogging" by this process to the held
//             value back in its place (seen through a change notification of
//             the key, no polling), median and worst of N changes
//   idle CPU  its kernel and user time over a minute in which nothing changes,
//             against bare_console.exe over the same minute
//   memory    its working set after those, against bare_service.exe's (what
//             any service costs under Wine); and, as information, against
//             bare_console.exe's
//   noise     a standard account (pupil.exe on a restricted token) writing an
//             unrelated value of the add-on's key as fast as it can for 10 s:
//             the guard's CPU time over that run, as a share of one core
//   flip      a standard account switching activity logging off and on as
//             fast as it can for 10 s while it is held on: the share of this
//             process's samples (one a millisecond) that read it off, and the
//             records and Application-log events the guard added meanwhile
//   accounts  200 signed-in filtered accounts (profiles made under
//             HKEY_USERS, held on): change to put-back of the last one's
//             "mode", median and worst of 20, and the guard's idle working
//             set with them, against bare_service.exe's
#include "bench_guard.h"

#include <windows.h>
#include <psapi.h>
#include <sddl.h>
#include <winternl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <optional>
#include <thread>
#include <vector>

#include "bench_timing.h"
#include "handles.h"
#include "held_store.h"
#include "standard_account.h"

namespace zendrel::bench {
namespace {

constexpr DWORD kPatienceMs = 10'000;

// A held switch in its place: "activitylogging" of the computer or an
// account's "mode".
struct Place {
    HKEY root;
    std::wstring path;
    const wchar_t* name;
};

const Place kLogging{HKEY_LOCAL_MACHINE, kAddOnPath, L"activitylogging"};

std::optional<DWORD> Dword(HKEY key, const wchar_t* name) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return std::nullopt;
    return value;
}

void SetDword(HKEY key, const wchar_t* name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), sizeof value);
}

// Milliseconds from switching the place off until the guard has put it back
// on; negative when it did not within patienceMs.
double OnePutBack(const Place& place, DWORD patienceMs = kPatienceMs) {
    RegistryKeyHandle key;
    RegCreateKeyExW(place.root, place.path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                    key.Put(), nullptr);
    KernelHandle changed(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Stopwatch watch;
    SetDword(key.Get(), place.name, 0);
    while (watch.Milliseconds() < patienceMs) {
        // A handle of its own for each wait: closing it ends its notification.
        RegistryKeyHandle watched;
        RegOpenKeyExW(place.root, place.path.c_str(), 0, KEY_NOTIFY | KEY_QUERY_VALUE,
                      watched.Put());
        ResetEvent(changed.Get());
        RegNotifyChangeKeyValue(watched.Get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET, changed.Get(),
                                TRUE);
        if (Dword(watched.Get(), place.name) == 1u) return watch.Milliseconds();
        double left = patienceMs - watch.Milliseconds();
        if (left > 0) WaitForSingleObject(changed.Get(), static_cast<DWORD>(left) + 1);
    }
    return -1;
}

KernelHandle StartBare(const std::wstring& program) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info))
        return KernelHandle();
    CloseHandle(info.hThread);
    return KernelHandle(info.hProcess);
}

double Ms(const FILETIME& t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) /
           10'000.0;
}

// The CPU time (kernel and user) of a process, in milliseconds: the greater
// of GetProcessTimes and the system's process list (Wine gives another
// process's times only through the list; Windows gives the same in both).
double CpuMs(HANDLE process) {
    FILETIME created, exited, kernel, user;
    double times = 0;
    if (GetProcessTimes(process, &created, &exited, &kernel, &user)) times = Ms(kernel) + Ms(user);
    // The start of each entry of SystemProcessInformation.
    struct Entry {
        ULONG next;
        ULONG threads;
        LARGE_INTEGER reserved[3];
        LARGE_INTEGER created, user, kernel;
        UNICODE_STRING image;
        LONG priority;
        HANDLE id;
    };
    std::vector<BYTE> list(1 << 20);
    ULONG size = 0;
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(SystemProcessInformation, list.data(),
                                              static_cast<ULONG>(list.size()), &size)) ==
               static_cast<NTSTATUS>(0xC0000004L) &&  // STATUS_INFO_LENGTH_MISMATCH
           list.size() < (64u << 20))
        list.resize(list.size() * 2);
    if (status != 0) return times;
    const DWORD id = GetProcessId(process);
    for (std::size_t at = 0;;) {
        const auto* entry = reinterpret_cast<const Entry*>(list.data() + at);
        if (static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(entry->id)) == id)
            return std::max(times, static_cast<double>(entry->user.QuadPart + entry->kernel.QuadPart) /
                                       10'000.0);
        if (entry->next == 0) return times;
        at += entry->next;
    }
}

double WorkingSetMb(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return -1;
    return static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
}

constexpr wchar_t kBareServiceName[] = L"ZendrelBenchBareService";

void RemoveService(SC_HANDLE manager, const wchar_t* name) {
    ServiceHandle service(OpenServiceW(manager, name, SERVICE_ALL_ACCESS));
    if (!service) return;
    SERVICE_STATUS status{};
    ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);
    for (int i = 0; i < 100 && QueryServiceStatus(service.Get(), &status) &&
                    status.dwCurrentState != SERVICE_STOPPED;
         ++i)
        Sleep(100);
    DeleteService(service.Get());
}

// Creates the service `name` running `program` and starts it; its process
// (opened to read its times and memory), or null when it did not start.
KernelHandle StartAsService(SC_HANDLE manager, const wchar_t* name, const std::wstring& program) {
    RemoveService(manager, name);
    std::wstring command = L"\"" + program + L"\"";
    ServiceHandle service(CreateServiceW(
        manager, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
        SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service || !StartServiceW(service.Get(), 0, nullptr)) return KernelHandle();
    SERVICE_STATUS_PROCESS status{};
    DWORD size = 0;
    for (int i = 0; i < 100; ++i) {
        QueryServiceStatusEx(service.Get(), SC_STATUS_PROCESS_INFO,
                             reinterpret_cast<BYTE*>(&status), sizeof status, &size);
        if (status.dwCurrentState == SERVICE_RUNNING) break;
        Sleep(100);
    }
    if (status.dwCurrentState != SERVICE_RUNNING) return KernelHandle();
    return KernelHandle(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, status.dwProcessId));
}

// The add-on's key with the list the installer gives it: Users may read it
// and set its values (so a standard account may write there, as the add-on
// running in its session does).
bool ShareAddOnKey() {
    RegistryKeyHandle key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kAddOnPath, 0, nullptr, 0, WRITE_DAC, nullptr,
                        key.Put(), nullptr) != ERROR_SUCCESS)
        return false;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)(A;;0x2001b;;;BU)", SDDL_REVISION_1, &descriptor,
            nullptr))
        return false;
    LONG status = RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    return status == ERROR_SUCCESS;
}

// pupil.exe of `folder` run as a standard account on a thread of its own,
// while this process measures.
class PupilRun {
  public:
    PupilRun(const std::wstring& folder, const std::wstring& arguments) {
        std::wstring program = folder + L"\\pupil.exe";
        thread_ = std::thread([this, program, arguments] {
            exitCode_ = test::RunAsStandardAccount(program, L"\"" + program + L"\" " + arguments);
            done_ = true;
        });
    }
    ~PupilRun() { Wait(); }
    PupilRun(const PupilRun&) = delete;
    PupilRun& operator=(const PupilRun&) = delete;

    bool Done() const { return done_; }
    // Its exit code (0 done, 5 refused), once it has ended.
    DWORD Wait() {
        if (thread_.joinable()) thread_.join();
        return exitCode_;
    }

  private:
    std::atomic<bool> done_{false};
    DWORD exitCode_ = 0xDEAD;
    std::thread thread_;
};

constexpr int kFloodSeconds = 10;

std::wstring AddOnKeyArgument() {
    return std::wstring(L"HKLM\\") + kAddOnPath;
}

// The number of the guard's newest record (record numbers only grow, so the
// difference counts the records added even when the oldest were removed).
std::uint32_t LastRecordNumber() {
    std::uint32_t last = 0;
    for (const NamedRecord& record : LoadRecords())
        last = std::max(last, RecordNumber(record.name).value_or(0));
    return last;
}

// The guard's event source, as it registers it.
constexpr wchar_t kGuardEventSource[] = L"Zendrel";

// The records of the Application log: of the guard's source, and of all.
struct EventCount {
    long guard = 0;
    long all = 0;
};
EventCount CountEvents() {
    EventCount count;
    HANDLE log = OpenEventLogW(nullptr, L"Application");
    if (!log) return count;
    std::vector<BYTE> buffer(64 * 1024);
    for (;;) {
        DWORD read = 0, needed = 0;
        if (!ReadEventLogW(log, EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ, 0,
                           buffer.data(), static_cast<DWORD>(buffer.size()), &read, &needed)) {
            if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= buffer.size()) break;
            buffer.resize(needed);
            continue;
        }
        for (DWORD at = 0; at + sizeof(EVENTLOGRECORD) <= read;) {
            const auto* record = reinterpret_cast<const EVENTLOGRECORD*>(buffer.data() + at);
            if (record->Length == 0) break;
            ++count.all;
            if (std::wcscmp(reinterpret_cast<const wchar_t*>(record + 1), kGuardEventSource) == 0)
                ++count.guard;
            at += record->Length;
        }
    }
    CloseEventLog(log);
    return count;
}

// A standard account writes "noise" into the add-on's key as fast as it can:
// the guard's CPU time over that run as a share of one core.
void NoiseRows(const std::wstring& folder, HANDLE guard) {
    double before = CpuMs(guard);
    Stopwatch wall;
    DWORD code = PupilRun(folder, L"noise " + AddOnKeyArgument() + L" " +
                                      std::to_wstring(kFloodSeconds))
                     .Wait();
    double share = 100.0 * (CpuMs(guard) - before) / wall.Milliseconds();
    RegistryKeyHandle key;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAddOnPath, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.Put());
    std::optional<DWORD> last = Dword(key.Get(), L"noise");
    RegDeleteValueW(key.Get(), L"noise");
    if (code != 0) std::printf("guard: the standard account's noise ended with %lu\n", code);
    std::string seconds = std::to_string(kFloodSeconds);
    RowWithin(("guard: CPU, share of a core, " + seconds + " s of noise").c_str(), share, "%", 10);
    RowInformation("  values the standard account wrote meanwhile",
                   last ? static_cast<double>(*last) + 1 : 0, "");
}

// A standard account switches activity logging off and on as fast as it can
// while it is held on: how often this process finds it off, and what the
// guard recorded meanwhile.
void FlipRows(const std::wstring& folder) {
    RegistryKeyHandle key;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAddOnPath, 0, KEY_QUERY_VALUE, key.Put());
    std::uint32_t recordsBefore = LastRecordNumber();
    EventCount eventsBefore = CountEvents();
    long samples = 0, off = 0;
    PupilRun flips(folder, L"flip " + AddOnKeyArgument() + L" activitylogging " +
                               std::to_wstring(kFloodSeconds));
    // From the first sample that finds it off (the first flip) to the end.
    while (!flips.Done()) {
        bool isOff = Dword(key.Get(), L"activitylogging") == 0u;
        if (isOff || samples > 0) {
            ++samples;
            off += isOff;
        }
        Sleep(1);
    }
    DWORD code = flips.Wait();
    bool back = false;
    for (int i = 0; i < 100 && !back; ++i) {
        back = Dword(key.Get(), L"activitylogging") == 1u;
        if (!back) Sleep(50);
    }
    Sleep(2000);  // the guard's records of the last flips written
    std::uint32_t records = LastRecordNumber() - recordsBefore;
    EventCount eventsAfter = CountEvents();

    if (code != 0) std::printf("guard: the standard account's flips ended with %lu\n", code);
    if (!back) std::printf("guard: activity logging was not back on 5 s after the flips\n");
    std::string seconds = std::to_string(kFloodSeconds);
    RowInformation(("guard: flips for " + seconds + " s, samples that read off").c_str(),
                   samples ? 100.0 * off / samples : 0, "%");
    RowInformation("  samples taken (one a millisecond)", static_cast<double>(samples), "");
    RowInformation("  records the guard added", static_cast<double>(records), "");
    if (eventsAfter.all == 0)
        std::printf("guard: the Application log keeps no records here: its events not counted\n");
    else
        RowInformation("  Application-log events of the guard",
                       static_cast<double>(eventsAfter.guard - eventsBefore.guard), "");
}

// The signed-in filtered accounts of the accounts rows.
constexpr int kAccounts = 200;
constexpr int kAccountChanges = 20;
constexpr DWORD kAccountPatienceMs = 5'000;

std::wstring ProfileSid(int n) {
    return L"S-1-5-21-1000-2000-3000-" + std::to_wstring(1001 + n);
}

void RemoveProfiles() {
    for (int n = 0; n < kAccounts; ++n) {
        ReleaseAccount(ProfileSid(n));
        RegDeleteTreeW(HKEY_USERS, ProfileSid(n).c_str());
    }
}

// Each profile signed in (its key under HKEY_USERS, as its hive loads), its
// filter held on and "mode" 1 written in it; false when one could not be.
bool MakeProfiles() {
    for (int n = 0; n < kAccounts; ++n) {
        std::wstring sid = ProfileSid(n);
        RegistryKeyHandle key;
        if (RegCreateKeyExW(HKEY_USERS, (sid + L"\\Volatile Environment").c_str(), 0, nullptr, 0,
                            KEY_READ, nullptr, key.Put(), nullptr) != ERROR_SUCCESS)
            return false;
        AccountModeResult result = SetAccountMode(sid, true);
        if (result.outcome.kind != Outcome::Kind::Done || !result.writtenNow) return false;
    }
    return true;
}

// The guard started anew with 200 signed-in filtered accounts: change to
// put-back of the last one's "mode", and its idle working set.
void AccountsRows(SC_HANDLE manager, const std::wstring& folder, HANDLE bareService) {
    RemoveService(manager, kGuardServiceName);
    RemoveProfiles();  // those of a run cut short
    std::string accounts = std::to_string(kAccounts);
    if (!MakeProfiles()) {
        std::printf("guard: the %d profiles could not be made\n", kAccounts);
        RemoveProfiles();
        return;
    }
    KernelHandle guard =
        StartAsService(manager, kGuardServiceName, folder + L"\\ZendrelGuard.exe");
    if (!guard) {
        std::printf("guard: the service did not start with %d accounts\n", kAccounts);
    } else {
        std::wstring sid = ProfileSid(kAccounts - 1);
        const Place mode{HKEY_USERS, sid + L"\\" + kAddOnPath, L"mode"};
        // The first change after the start fills the caches.
        if (OnePutBack(mode, kAccountPatienceMs) < 0) WriteHiveMode(sid, true);
        std::vector<double> times;
        bool allBack = true;
        for (int i = 0; i < kAccountChanges && allBack; ++i) {
            double t = OnePutBack(mode, kAccountPatienceMs);
            allBack = t >= 0;
            times.push_back(allBack ? t : kAccountPatienceMs);
            Sleep(20);
        }
        if (!allBack) {
            std::printf("guard: the last of %d accounts was not put back within %lu ms (change "
                        "%zu; stopped there)\n",
                        kAccounts, kAccountPatienceMs, times.size());
            WriteHiveMode(sid, true);
        }
        Sleep(5000);  // idle: the records of the last put-backs written
        double memory = WorkingSetMb(guard.Get());
        double bareMemory = bareService ? WorkingSetMb(bareService) : 0;
        std::string n = std::to_string(times.size());
        RowWithin(("guard, " + accounts + " accounts: put-back, median of " + n).c_str(),
                  Median(times), "ms", 100);
        RowWithin(("guard, " + accounts + " accounts: put-back, worst of " + n).c_str(),
                  *std::max_element(times.begin(), times.end()), "ms", 1000);
        Row(("guard, " + accounts + " accounts: working set, bare service").c_str(), memory,
            bareMemory, "MB", 1.5);
    }
    RemoveService(manager, kGuardServiceName);
    RemoveProfiles();
}

}  // namespace

void GuardRows(const std::wstring& folder, int changes, int idleSeconds) {
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        std::printf("guard: the service control manager could not be opened\n");
        return;
    }
    if (!ShareAddOnKey()) std::printf("guard: the add-on's key could not be given its list\n");
    HoldActivityLogging(true);
    KernelHandle guard =
        StartAsService(manager.Get(), kGuardServiceName, folder + L"\\ZendrelGuard.exe");
    if (!guard) {
        std::printf("guard: the service did not start\n");
        RemoveService(manager.Get(), kGuardServiceName);
        ReleaseActivityLogging();
        return;
    }
    KernelHandle bareService =
        StartAsService(manager.Get(), kBareServiceName, folder + L"\\bare_service.exe");
    KernelHandle bare = StartBare(folder + L"\\bare_console.exe");

    OnePutBack(kLogging);  // the first change after the start fills the caches
    std::vector<double> times;
    for (int i = 0; i < changes; ++i) {
        times.push_back(OnePutBack(kLogging));
        Sleep(20);
    }
    bool allBack = std::none_of(times.begin(), times.end(), [](double t) { return t < 0; });
    Sleep(2000);  // the records of the last put-backs written

    double guardBefore = CpuMs(guard.Get()), bareBefore = CpuMs(bare.Get());
    Sleep(static_cast<DWORD>(idleSeconds) * 1000);
    double idleCpu = CpuMs(guard.Get()) - guardBefore;
    double bareIdleCpu = CpuMs(bare.Get()) - bareBefore;
    double memory = WorkingSetMb(guard.Get()), bareMemory = WorkingSetMb(bare.Get());
    double bareServiceMemory = bareService ? WorkingSetMb(bareService.Get()) : 0;

    std::string n = std::to_string(changes);
    if (!allBack) std::printf("guard: a change was not put back within %lu ms\n", kPatienceMs);
    RowWithin(("guard: change to put-back, median of " + n).c_str(), Median(times), "ms", 1000);
    RowWithin(("guard: change to put-back, worst of " + n).c_str(),
              *std::max_element(times.begin(), times.end()), "ms", 1000);
    RowWithin(("guard: CPU time over " + std::to_string(idleSeconds) + " idle seconds").c_str(),
              idleCpu, "ms", 10, bareIdleCpu);
    Row("guard: working set (against a bare service)", memory, bareServiceMemory, "MB", 1.1);
    Row("guard: working set (against a bare console)", memory, bareMemory, "MB", kInformation);
    TerminateProcess(bare.Get(), 0);

    NoiseRows(folder, guard.Get());
    FlipRows(folder);
    AccountsRows(manager.Get(), folder, bareService.Get());

    RemoveService(manager.Get(), kGuardServiceName);
    RemoveService(manager.Get(), kBareServiceName);
    ReleaseActivityLogging();
}

}  // namespace zendrel::bench
