// ZendrelGuard.exe: the service that holds the administrator's settings (see
// guard.h). Run by the service control manager as LocalSystem; also:
//
//   ZendrelGuard.exe --install    holds every setting of the computer that is
//                                 not held yet, as it stands (HoldInstalled);
//                                 creates (or updates) the service: started
//                                 automatically, as LocalSystem, stoppable by
//                                 administrators only; then starts it
//   ZendrelGuard.exe --remove     stops and deletes the service
//   ZendrelGuard.exe --console [EVENT]
//                                 the same watch in the foreground, until the
//                                 named event is set or Ctrl+C (tests, bench)
//
// Exit codes: 0 done; 1 failed (the message says why); 2 wrong usage.
#include <windows.h>

#include <sddl.h>
#include <wtsapi32.h>

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "guard.h"
#include "guard_messages.h"
#include "handles.h"
#include "held_store.h"
#include "system_libraries.h"

namespace zendrel {
namespace {

// The service's access list: SYSTEM and Administrators every right;
// interactive and authenticated users may query it, not start, stop or
// configure it.
constexpr wchar_t kServiceSddl[] =
    L"D:(A;;CCDCLCSWRPWPDTLOCRSDRCWDWO;;;SY)(A;;CCDCLCSWRPWPDTLOCRSDRCWDWO;;;BA)"
    L"(A;;CCLCSWLORC;;;IU)(A;;CCLCSWLORC;;;AU)";
constexpr wchar_t kDisplayName[] = L"Zendrel Guard";
constexpr wchar_t kDescription[] =
    L"Puts back, within a second, any change to the Zendrel settings that the administrator "
    L"holds: the filter of the chosen accounts, activity logging and the settings password.";
constexpr DWORD kPatienceMs = 30'000;

SERVICE_STATUS_HANDLE statusHandle = nullptr;
SERVICE_STATUS status{};
HANDLE stopEvent = nullptr;

void Report(DWORD state, DWORD exitCode = NO_ERROR) {
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_RUNNING
            ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_SESSIONCHANGE
            : 0;
    status.dwWin32ExitCode = exitCode;
    status.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : 5000;
    status.dwCheckPoint =
        state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : status.dwCheckPoint + 1;
    SetServiceStatus(statusHandle, &status);
}

// The guard that runs (null before and after), for the session changes.
std::mutex runningMutex;
Guard* running = nullptr;

// The account of a session, as text; empty when Windows does not say.
std::wstring SessionUser(DWORD session) {
    KernelHandle token;
    if (!WTSQueryUserToken(session, token.Put())) return {};
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    wchar_t* text = nullptr;
    if (size == 0 || !GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
        return {};
    std::wstring sid = text;
    LocalFree(text);
    return sid;
}

DWORD WINAPI Control(DWORD control, DWORD eventType, void* eventData, void*) {
    switch (control) {
        case SERVICE_CONTROL_SESSIONCHANGE:
            // At sign-out the guard lets go of the account's keys, so that
            // its hive can be unloaded.
            if (eventType == WTS_SESSION_LOGOFF && eventData) {
                std::wstring sid =
                    SessionUser(static_cast<WTSSESSION_NOTIFICATION*>(eventData)->dwSessionId);
                std::lock_guard<std::mutex> lock(runningMutex);
                if (running && !sid.empty()) running->SignedOut(sid);
            }
            return NO_ERROR;
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            Report(SERVICE_STOP_PENDING);
            SetEvent(stopEvent);
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

// Runs the watch until `stop` is set; the event log hears of the start, the
// stop and a failure to watch. `watching` is called once the first pass is
// done and the places are watched.
bool Watch(HANDLE stop, const std::function<void()>& watching = {}) {
    HANDLE source = RegisterEventSourceW(nullptr, L"Zendrel");
    if (source)
        ReportEventW(source, EVENTLOG_INFORMATION_TYPE, 0, MSG_STARTED, nullptr, 0, 0, nullptr,
                     nullptr);
    Guard guard(stop, source);
    {
        std::lock_guard<std::mutex> lock(runningMutex);
        running = &guard;
    }
    bool watched = guard.Run(watching);
    {
        std::lock_guard<std::mutex> lock(runningMutex);
        running = nullptr;
    }
    if (source) {
        ReportEventW(source, watched ? EVENTLOG_INFORMATION_TYPE : EVENTLOG_ERROR_TYPE, 0,
                     watched ? MSG_STOPPED : MSG_NOT_WATCHING, nullptr, 0, 0, nullptr, nullptr);
        DeregisterEventSource(source);
    }
    return watched;
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
    statusHandle = RegisterServiceCtrlHandlerExW(kGuardServiceName, Control, nullptr);
    if (!statusHandle) return;
    Report(SERVICE_START_PENDING);
    KernelHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    stopEvent = stop.Get();
    if (!stop) {
        Report(SERVICE_STOPPED, GetLastError());
        return;
    }
    // Running once the first look has put back what changed while the guard
    // was stopped: whoever started it (the installer, a test) may then rely
    // on every held place holding its value.
    bool watched = Watch(stop.Get(), [] { Report(SERVICE_RUNNING); });
    Report(SERVICE_STOPPED, watched ? NO_ERROR : ERROR_INVALID_HANDLE);
}

BOOL WINAPI ConsoleControl(DWORD) {
    SetEvent(stopEvent);
    return TRUE;
}

int Fail(const wchar_t* what) {
    DWORD error = GetLastError();
    std::fwprintf(stderr, L"ZendrelGuard: %ls (error %lu)\n", what, error);
    return 1;
}

std::wstring ThisProgram() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

// Waits until the service reports `state`, or the patience is over.
bool WaitFor(SC_HANDLE service, DWORD state) {
    for (DWORD waited = 0; waited < kPatienceMs; waited += 100) {
        SERVICE_STATUS now{};
        if (!QueryServiceStatus(service, &now)) return false;
        if (now.dwCurrentState == state) return true;
        Sleep(100);
    }
    return false;
}

// Holds what is not held yet, before the service starts: a setting left
// unheld on an installed computer could be set first by any user.
int HoldSettings() {
    Outcome held = HoldInstalled();
    if (held.kind == Outcome::Kind::Done) return 0;
    std::wstring why = held.failure ? held.failure->Description()
                                    : L"the held copy HKEY_LOCAL_MACHINE\\" +
                                          std::wstring(kHeldPath) +
                                          L" could not be written (run it as an administrator)";
    std::fwprintf(stderr, L"ZendrelGuard: the settings could not be held: %ls\n", why.c_str());
    return 1;
}

int Install() {
    if (int failed = HoldSettings()) return failed;
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return Fail(L"the service control manager could not be opened");
    const std::wstring command = L"\"" + ThisProgram() + L"\"";
    ServiceHandle service(CreateServiceW(
        manager.Get(), kGuardServiceName, kDisplayName, SERVICE_ALL_ACCESS,
        SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, command.c_str(),
        nullptr, nullptr, nullptr, nullptr /* LocalSystem */, nullptr));
    if (!service && GetLastError() == ERROR_SERVICE_EXISTS) {
        // An upgrade: the same service, pointed at this program.
        service.Reset(OpenServiceW(manager.Get(), kGuardServiceName, SERVICE_ALL_ACCESS));
        if (service &&
            !ChangeServiceConfigW(service.Get(), SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                  SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr,
                                  L"LocalSystem", L"", kDisplayName))
            return Fail(L"the service could not be configured");
    }
    if (!service) return Fail(L"the service could not be created");
    SERVICE_DESCRIPTIONW description{const_cast<wchar_t*>(kDescription)};
    ChangeServiceConfig2W(service.Get(), SERVICE_CONFIG_DESCRIPTION, &description);
    // Started again a second after it ended unexpectedly.
    SC_ACTION restart[3] = {
        {SC_ACTION_RESTART, 1000}, {SC_ACTION_RESTART, 1000}, {SC_ACTION_RESTART, 1000}};
    SERVICE_FAILURE_ACTIONSW failure{86400, nullptr, nullptr, 3, restart};
    ChangeServiceConfig2W(service.Get(), SERVICE_CONFIG_FAILURE_ACTIONS, &failure);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kServiceSddl, SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return Fail(L"the service's access list could not be made");
    BOOL secured = SetServiceObjectSecurity(service.Get(), DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    if (!secured) return Fail(L"the service's access list could not be set");
    if (!StartServiceW(service.Get(), 0, nullptr) &&
        GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
        return Fail(L"the service could not be started");
    if (!WaitFor(service.Get(), SERVICE_RUNNING)) return Fail(L"the service did not start");
    return 0;
}

int Remove() {
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return Fail(L"the service control manager could not be opened");
    ServiceHandle service(OpenServiceW(manager.Get(), kGuardServiceName,
                                       SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (!service) {
        if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) return 0;
        return Fail(L"the service could not be opened");
    }
    SERVICE_STATUS now{};
    if (ControlService(service.Get(), SERVICE_CONTROL_STOP, &now))
        WaitFor(service.Get(), SERVICE_STOPPED);
    if (!DeleteService(service.Get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
        return Fail(L"the service could not be deleted");
    return 0;
}

int Console(const wchar_t* eventName) {
    KernelHandle stop(CreateEventW(nullptr, TRUE, FALSE, eventName));
    if (!stop) return Fail(L"the stop event could not be made");
    stopEvent = stop.Get();
    SetConsoleCtrlHandler(ConsoleControl, TRUE);
    return Watch(stop.Get()) ? 0 : Fail(L"the registry could not be watched");
}

int Usage() {
    std::fwprintf(stderr,
                  L"ZendrelGuard.exe runs as a service. Other uses:\n"
                  L"  ZendrelGuard.exe --install   create and start the service\n"
                  L"  ZendrelGuard.exe --remove    stop and delete the service\n"
                  L"  ZendrelGuard.exe --console [EVENT]   watch in the foreground until the "
                  L"named event is set or Ctrl+C\n");
    return 2;
}

}  // namespace
}  // namespace zendrel

int wmain(int argc, wchar_t** argv) {
    zendrel::KeepLibrarySearchToSystemFolder();
    using namespace zendrel;
    std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"--install" && argc == 2) return Install();
    if (command == L"--remove" && argc == 2) return Remove();
    if (command == L"--console" && argc <= 3) return Console(argc == 3 ? argv[2] : nullptr);
    if (argc > 1) return Usage();
    wchar_t name[] = L"ZendrelGuard";
    SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table)) {
        if (GetLastError() == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) return Usage();
        return Fail(L"the service could not start");
    }
    return 0;
}
