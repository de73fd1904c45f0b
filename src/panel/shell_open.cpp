#include "shell_open.h"

#include <windows.h>
#include <exdisp.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "handles.h"
#include "late_bound.h"
#include "launch_rules.h"
#include "resource.h"
#include "scoped.h"
#include "string_table.h"

namespace zendrel {

namespace {

// The desktop shell's ShellExecute: the desktop window's view, asked for its
// automation object, gives the shell application of the desktop's process.
bool OpenThroughDesktop(const std::wstring& target) {
    ComPtr<IShellWindows> windows;
    if (FAILED(late::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                      IID_IShellWindows, windows.PutVoid())))
        return false;
    VARIANT desktop{}, empty{};
    desktop.vt = VT_I4;
    desktop.lVal = CSIDL_DESKTOP;
    long hwnd = 0;
    ComPtr<IDispatch> found;
    if (windows->FindWindowSW(&desktop, &empty, SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH,
                              found.Put()) != S_OK ||
        !found.Get())
        return false;
    ComPtr<IServiceProvider> services;
    ComPtr<IShellBrowser> browser;
    ComPtr<IShellView> view;
    ComPtr<IDispatch> background;
    ComPtr<IShellFolderViewDual> folderView;
    ComPtr<IDispatch> application;
    ComPtr<IShellDispatch2> shell;
    if (FAILED(found->QueryInterface(IID_IServiceProvider, services.PutVoid())) ||
        FAILED(
            services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.PutVoid())) ||
        FAILED(browser->QueryActiveShellView(view.Put())) ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.PutVoid())) ||
        FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.PutVoid())) ||
        FAILED(folderView->get_Application(application.Put())) ||
        FAILED(application->QueryInterface(IID_IShellDispatch2, shell.PutVoid())))
        return false;
    Bstr file(target);
    VARIANT none{}, show{};
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    return SUCCEEDED(shell->ShellExecute(file.Get(), none, none, none, show));
}

}  // namespace

bool RunningElevated() {
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put())) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

bool ShellOpen(const std::wstring& target) {
    if (RunningElevated()) return OpenThroughDesktop(target);
    late::ShellExecuteW(nullptr, nullptr, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return true;
}

std::wstring NotOpenedElevatedText(const std::wstring& target) {
    return LoadText(IDS_NOT_OPENED_ELEVATED, {Shown(target)});
}

}  // namespace zendrel
