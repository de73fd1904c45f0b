// Scoped helpers of the kit's windows: what is undone when the scope ends.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "late_bound.h"

namespace zendrel {

// Turns redrawing of a window off for its lifetime and repaints it at the end.
class RedrawOff {
  public:
    explicit RedrawOff(HWND hwnd) : hwnd_(hwnd) { SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0); }
    ~RedrawOff() {
        SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(hwnd_, nullptr, TRUE);
    }
    RedrawOff(const RedrawOff&) = delete;
    RedrawOff& operator=(const RedrawOff&) = delete;

  private:
    HWND hwnd_;
};

// A BSTR freed when it goes out of scope (oleaut32 loaded on first use).
class Bstr {
  public:
    explicit Bstr(const std::wstring& text) : b_(late::SysAllocString(text.c_str())) {}
    ~Bstr() { late::SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return b_; }

  private:
    BSTR b_;
};

}  // namespace zendrel
