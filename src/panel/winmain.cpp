// The entry of ZendrelPanel.exe: Main, then the main window's message loop.
#include <windows.h>
#include <objbase.h>

#include "failure_report.h"
#include "startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The shell, which opens the sites under review, expects a COM apartment.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    int exitCode = 0;
    try {
        std::unique_ptr<zendrel::MainFrm> window =
            zendrel::Main(GetCommandLineW(), zendrel::RunningProgramFolder());
        if (window) exitCode = zendrel::RunMessageLoop(*window);
    } catch (...) {
        zendrel::ShowFailureReport(nullptr, L"Error occurred trying to start: ",
                                   zendrel::kProgramName, zendrel::CurrentFailure());
        exitCode = 1;
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return exitCode;
}
