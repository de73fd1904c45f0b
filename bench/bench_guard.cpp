// The guard, run as a service of the bench's prefix:
//   put-back  from a change of "activitylogging" by this process to the held
//             value back in its place (seen through a change notification of
//             the key, no polling), median and worst of N changes
//   idle CPU  its kernel and user time over a minute in which nothing changes,
//             against bare_console.exe over the same minute
//   memory    its working set after those, against bare_console.exe's; and,
//             to show what any service costs under Wine, bare_service.exe's
#include "bench_guard.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench_timing.h"
#include "handles.h"
#include "held_store.h"

namespace zendrel::bench {
namespace {

constexpr DWORD kPatienceMs = 10'000;

std::optional<DWORD> Logging(HKEY key) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExW(key, L"activitylogging", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return std::nullopt;
    return value;
}

// Milliseconds from switching activity logging off until the guard has put
// it back on; negative when it never did.
double OnePutBack() {
    RegistryKeyHandle key;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, kAddOnPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    key.Put(), nullptr);
    KernelHandle changed(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    DWORD off = 0;
    Stopwatch watch;
    RegSetValueExW(key.Get(), L"activitylogging", 0, REG_DWORD, reinterpret_cast<BYTE*>(&off),
                   sizeof off);
    while (watch.Milliseconds() < kPatienceMs) {
        // A handle of its own for each wait: closing it ends its notification.
        RegistryKeyHandle watched;
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAddOnPath, 0, KEY_NOTIFY | KEY_QUERY_VALUE,
                      watched.Put());
        ResetEvent(changed.Get());
        RegNotifyChangeKeyValue(watched.Get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET, changed.Get(),
                                TRUE);
        if (Logging(watched.Get()) == 1u) return watch.Milliseconds();
        WaitForSingleObject(changed.Get(), kPatienceMs);
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

double CpuMs(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10'000.0;
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

}  // namespace

void GuardRows(const std::wstring& folder, int changes, int idleSeconds) {
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        std::printf("guard: the service control manager could not be opened\n");
        return;
    }
    HoldActivityLogging(true);
    KernelHandle guard =
        StartAsService(manager.Get(), kGuardServiceName, folder + L"\\ZendrelGuard.exe");
    if (!guard) {
        std::printf("guard: the service did not start\n");
        RemoveService(manager.Get(), kGuardServiceName);
        return;
    }
    KernelHandle bareService =
        StartAsService(manager.Get(), kBareServiceName, folder + L"\\bare_service.exe");
    KernelHandle bare = StartBare(folder + L"\\bare_console.exe");

    OnePutBack();  // the first change after the start fills the caches
    std::vector<double> times;
    for (int i = 0; i < changes; ++i) {
        times.push_back(OnePutBack());
        Sleep(20);
    }
    bool allBack = std::none_of(times.begin(), times.end(), [](double t) { return t < 0; });
    Sleep(2000);  // the records of the last put-backs written

    double guardBefore = CpuMs(guard.Get()), bareBefore = CpuMs(bare.Get());
    Sleep(static_cast<DWORD>(idleSeconds) * 1000);
    double idleCpu = CpuMs(guard.Get()) - guardBefore, bareCpu = CpuMs(bare.Get()) - bareBefore;
    double memory = WorkingSetMb(guard.Get()), bareMemory = WorkingSetMb(bare.Get());
    double bareServiceMemory = bareService ? WorkingSetMb(bareService.Get()) : 0;

    std::string n = std::to_string(changes);
    if (!allBack) std::printf("guard: a change was not put back within %lu ms\n", kPatienceMs);
    RowWithin(("guard: change to put-back, median of " + n).c_str(), Median(times), "ms", 1000);
    RowWithin(("guard: change to put-back, worst of " + n).c_str(),
              *std::max_element(times.begin(), times.end()), "ms", 1000);
    RowWithin(("guard: CPU time over " + std::to_string(idleSeconds) + " idle seconds").c_str(),
              idleCpu, "ms", 10, bareCpu);
    Row("guard: working set (against a bare console)", memory, bareMemory, "MB", 1.5);
    Row("guard: working set (against a bare service)", memory, bareServiceMemory, "MB", 0);

    TerminateProcess(bare.Get(), 0);
    RemoveService(manager.Get(), kGuardServiceName);
    RemoveService(manager.Get(), kBareServiceName);
    ReleaseActivityLogging();
}

}  // namespace zendrel::bench
