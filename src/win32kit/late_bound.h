// The few functions the kit's windows take from libraries they need only
// now and then: the shell, COM, accessibility and the common dialogs. Each
// library is loaded (from the system folder) the first time one of its
// functions is called, not when the program starts: every library loaded at
// start-up delays the window by some milliseconds. Each function answers as
// the library's own does, or with the failure given when the library or the
// function cannot be found.
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <oleauto.h>

namespace zendrel::late {

HINSTANCE ShellExecuteW(HWND window, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR folder,
                        INT show);  // SE_ERR_DLLNOTFOUND
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                         LPVOID* out);                                                // E_NOTIMPL
HRESULT CreateStdAccessibleObject(HWND window, LONG object, REFIID iid, void** out);  // E_NOTIMPL
LRESULT LresultFromObject(REFIID iid, WPARAM wParam, LPUNKNOWN object);               // E_NOTIMPL
BSTR SysAllocString(const OLECHAR* text);                                             // null
void SysFreeString(BSTR text);
HWND FindTextW(LPFINDREPLACEW find);          // null
BOOL GetOpenFileNameW(LPOPENFILENAMEW open);  // FALSE
BOOL GetSaveFileNameW(LPOPENFILENAMEW save);  // FALSE

// Enters this thread in a single-threaded COM apartment, which the shell, the
// file dialogs, help and accessibility expect, the first time it is called on
// the thread; LeaveComApartment leaves it again if it was entered.
void EnterComApartment();
void LeaveComApartment();

}  // namespace zendrel::late
