// The base of windows and dialogs: keeps `this` with the
// window, forwards every message to the object, and is the one place where a
// failure that no handler of its own caught is stopped and reported, so that
// nothing escapes into user32.
#pragma once

#include <windows.h>

#include <optional>

#include "failure.h"

namespace zendrel {

class WindowBase {
  public:
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    HWND Hwnd() const { return hwnd_; }

    // A window with the keyboard of a dialog (UseDialogKeys) gives the dialog
    // manager a message of the thread's loop meant for it or one of its
    // controls: Tab and Shift+Tab, the arrows within a group, Alt+letter,
    // Enter and Esc. True when the message was handled and must not be
    // dispatched again.
    bool TranslateDialogKeys(MSG& msg);

  protected:
    WindowBase() = default;
    // Does not destroy the window: the derived class does, while it is whole.
    virtual ~WindowBase() = default;

    // Handles one message. nullopt lets the default processing run
    // (DefWindowProcW for a window, FALSE for a dialog).
    virtual std::optional<LRESULT> HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) = 0;

    // Shows a failure that reached the window procedure.
    virtual void ReportUnhandled(const Failure& failure) noexcept;

    // The window is going (WM_NCDESTROY): forget every handle of it.
    virtual void OnDestroyed() noexcept {}

    // Makes a plain window behave as a dialog for the keyboard: the loop's
    // messages go through TranslateDialogKeys, and the focused control is
    // kept while another window is active and given back when the window is
    // active again (`first` when that control is gone). A dialog has this
    // from the dialog manager.
    void UseDialogKeys(HWND first) {
        dialogKeys_ = true;
        focus_ = first;
        firstFocus_ = first;
    }

    // Registers the class of a window of this base, once: its procedure is
    // WindowProc, its icons (large and small) the program's icon resource
    // `iconId`, its face the dialog colour; double clicks reach it.
    static void RegisterWindowClass(const wchar_t* name, int iconId);

    // The procedure of a window class; CreateWindowExW gets `this` as its
    // creation parameter.
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
    // The procedure of a dialog; DialogBox...ParamW gets `this` as its parameter.
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

    // Runs a handler called from outside the procedures above (a subclass
    // procedure), stopping and reporting its failure as they do.
    template <typename Handler>
    void Guarded(Handler&& handler) noexcept {
        try {
            handler();
        } catch (...) {
            ReportUnhandled(CurrentFailure());
        }
    }

  private:
    std::optional<LRESULT> Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
    void KeepFocus(WPARAM activation) noexcept;

    HWND hwnd_ = nullptr;
    bool dialogKeys_ = false;
    HWND focus_ = nullptr, firstFocus_ = nullptr;
};

}  // namespace zendrel
