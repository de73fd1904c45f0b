// The private messages of ZendrelPanel's windows and the commands it adds to
// the main window's window menu, in one place so that no two collide.
#pragma once

#include <windows.h>

// Older SDKs lack it.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace zendrel {

// The settings watcher's thread tells the main window that a place changed;
// wParam: a SettingsWatcher::Change.
inline constexpr UINT kWmSettingsChanged = WM_APP + 1;
// Posted by the main window to itself once it shows.
inline constexpr UINT kWmShown = WM_APP + 2;
// Posted by the main window to itself after a change of DPI, to place the
// controls outside its control table.
inline constexpr UINT kWmHeldPlace = WM_APP + 0x41;
// WM_APP + 0x4E is taken by the procedure in front of the controls (the rows
// it keeps for a list box).

// Items of the main window's window menu (WM_SYSCOMMAND; the low four bits
// are the system's).
inline constexpr UINT kSysCmdAccounts = 0x0110;     // Filtered Accounts
inline constexpr UINT kSysCmdGuardNotice = 0x0120;  // what the guard put back

}  // namespace zendrel
