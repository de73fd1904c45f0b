// What a pane of the main window (a frame and the controls in it) asks of the
// window that holds it. The panes know nothing else of the window; the window
// routes its messages and commands to them.
#pragma once

#include <windows.h>

#include "controls.h"
#include "settings_session.h"
#include "settings_store.h"

namespace zendrel {

class PaneHost {
  public:
    virtual HWND Hwnd() const = 0;
    // The window of a control of the window's table.
    virtual HWND Control(int id) const = 0;
    virtual int Dpi() const = 0;
    // The window's font, plain or underlined (a link under the mouse).
    virtual HFONT WindowFont(bool underline) const = 0;
    // The window's tooltip: made on first need, or null until then.
    virtual HWND EnsureTooltip() = 0;
    virtual HWND Tooltip() const = 0;
    virtual SettingsStore& Store() = 0;
    // What the window loaded and the edits it holds besides the controls.
    virtual SettingsSession& Session() = 0;
    // A close is under way (its question or its save): nothing else may open.
    virtual bool Busy() const = 0;
    // The message that the user lacks the rights to save, once per save.
    virtual void ShowPermissionsMessage() = 0;
    // The current user's switch changed: it is saved at once, not at close.
    virtual void SaveModeNow(bool on) = 0;

  protected:
    ~PaneHost() = default;
};

}  // namespace zendrel
