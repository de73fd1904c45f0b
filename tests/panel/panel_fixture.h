// The settings-window tests' common ground: the store's (settings key and
// program folder reset for each test), the window shown on that folder, and
// the window's controls as the tests read and drive them.
#pragma once

#include <memory>

#include "controls.h"
#include "main_frm.h"
#include "settings_fixture.h"
#include "window_driver.h"

namespace zendrel::test {

class PanelFixture : public SettingsFixture {
  protected:
    // A main window on the test's folder at the given DPI, shown: the
    // password dialog and the load have run (a MessageBoxAnswerer made before
    // answers their boxes).
    std::unique_ptr<MainFrm> OpenWindow(int dpi = 96) {
        auto window = std::make_unique<MainFrm>(Folder(), dpi);
        window->Show();
        Pump(*window);
        return window;
    }

    // Lets the window handle what is pending, through its dialog manager.
    static void Pump(MainFrm& window) {
        PumpMessages([&window](MSG& msg) { return window.PreTranslateMessage(msg); });
    }
};

inline TextBox TxtAddSite(const MainFrm& w) {
    return TextBox(w.Control(kIdTxtAddSite));
}
inline TextBox TxtPwd(const MainFrm& w) {
    return TextBox(w.Control(kIdTxtPwd));
}
inline TextBox TxtPwdConfirm(const MainFrm& w) {
    return TextBox(w.Control(kIdTxtPwdConfirm));
}
inline TextBox TxtHint(const MainFrm& w) {
    return TextBox(w.Control(kIdTxtHint));
}
inline ListBox ListApproved(const MainFrm& w) {
    return ListBox(w.Control(kIdListApproved));
}
inline ListBox ListRequested(const MainFrm& w) {
    return ListBox(w.Control(kIdListRequested));
}
inline CheckBox ChkEnable(const MainFrm& w) {
    return CheckBox(w.Control(kIdChkEnable));
}
inline CheckBox ChkLogging(const MainFrm& w) {
    return CheckBox(w.Control(kIdChkLogging));
}
inline CheckBox ChkPwd(const MainFrm& w) {
    return CheckBox(w.Control(kIdChkPwd));
}

}  // namespace zendrel::test
