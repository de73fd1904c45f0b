// The guard's second memory baseline: a service that does nothing but wait
// for its stop, so that what any service costs under the service control
// manager (its dispatcher's threads and libraries) shows apart from the
// guard's own.
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE statusHandle = nullptr;
SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING, SERVICE_ACCEPT_STOP, 0, 0, 0, 0};
HANDLE stop = nullptr;

DWORD WINAPI Control(DWORD control, DWORD, void*, void*) {
    if (control == SERVICE_CONTROL_STOP) SetEvent(stop);
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
    stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    statusHandle = RegisterServiceCtrlHandlerExW(L"ZendrelBenchBareService", Control, nullptr);
    SetServiceStatus(statusHandle, &status);
    WaitForSingleObject(stop, INFINITE);
    status.dwCurrentState = SERVICE_STOPPED;
    SetServiceStatus(statusHandle, &status);
}

}  // namespace

int main() {
    wchar_t name[] = L"ZendrelBenchBareService";
    SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
