// The entry of ZendrelPanel.exe: Main, then the main window's message loop.
#include <windows.h>

#include "failure_report.h"
#include "late_bound.h"
#include "resource.h"
#include "startup.h"
#include "string_table.h"
#include "system_libraries.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    zendrel::KeepLibrarySearchToSystemFolder();
    // The COM apartment that the shell and help expect is entered once the
    // window shows (see MainFrm), so that COM does not delay it.
    int exitCode = 0;
    try {
        std::unique_ptr<zendrel::MainFrm> window =
            zendrel::Main(GetCommandLineW(), zendrel::RunningProgramFolder());
        if (window) exitCode = zendrel::RunMessageLoop(*window);
    } catch (...) {
        zendrel::ShowFailureReport(nullptr, zendrel::LoadText(IDS_START_ERROR),
                                   zendrel::kProgramName, zendrel::CurrentFailure());
        exitCode = 1;
    }
    zendrel::late::LeaveComApartment();
    return exitCode;
}
