#include "late_bound.h"

#include <oleacc.h>
#include <shellapi.h>

#include "system_libraries.h"

namespace zendrel::late {

namespace {

// The function `name` of the system library, or null.
template <typename Function>
Function* Find(const wchar_t* library, const char* name) {
    HMODULE module = LoadSystemLibrary(library);
    if (!module) return nullptr;
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

thread_local bool comTried = false;
thread_local bool comEntered = false;

}  // namespace

HINSTANCE ShellExecuteW(HWND window, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR folder,
                        INT show) {
    static auto* function = Find<decltype(::ShellExecuteW)>(L"shell32.dll", "ShellExecuteW");
    if (!function) return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_DLLNOTFOUND));
    return function(window, verb, file, parameters, folder, show);
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* out) {
    static auto* function = Find<decltype(::CoCreateInstance)>(L"ole32.dll", "CoCreateInstance");
    return function ? function(clsid, outer, context, iid, out) : E_NOTIMPL;
}

HRESULT CreateStdAccessibleObject(HWND window, LONG object, REFIID iid, void** out) {
    static auto* function =
        Find<decltype(::CreateStdAccessibleObject)>(L"oleacc.dll", "CreateStdAccessibleObject");
    return function ? function(window, object, iid, out) : E_NOTIMPL;
}

LRESULT LresultFromObject(REFIID iid, WPARAM wParam, LPUNKNOWN object) {
    static auto* function = Find<decltype(::LresultFromObject)>(L"oleacc.dll", "LresultFromObject");
    return function ? function(iid, wParam, object) : E_NOTIMPL;
}

BSTR SysAllocString(const OLECHAR* text) {
    static auto* function = Find<decltype(::SysAllocString)>(L"oleaut32.dll", "SysAllocString");
    return function ? function(text) : nullptr;
}

void SysFreeString(BSTR text) {
    static auto* function = Find<decltype(::SysFreeString)>(L"oleaut32.dll", "SysFreeString");
    if (function) function(text);
}

HWND FindTextW(LPFINDREPLACEW find) {
    static auto* function = Find<decltype(::FindTextW)>(L"comdlg32.dll", "FindTextW");
    return function ? function(find) : nullptr;
}

BOOL GetOpenFileNameW(LPOPENFILENAMEW open) {
    static auto* function = Find<decltype(::GetOpenFileNameW)>(L"comdlg32.dll", "GetOpenFileNameW");
    return function ? function(open) : FALSE;
}

BOOL GetSaveFileNameW(LPOPENFILENAMEW save) {
    static auto* function = Find<decltype(::GetSaveFileNameW)>(L"comdlg32.dll", "GetSaveFileNameW");
    return function ? function(save) : FALSE;
}

void EnterComApartment() {
    if (comTried) return;
    comTried = true;
    static auto* function = Find<decltype(::CoInitializeEx)>(L"ole32.dll", "CoInitializeEx");
    comEntered =
        function && SUCCEEDED(function(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
}

void LeaveComApartment() {
    if (!comEntered) return;
    static auto* function = Find<decltype(::CoUninitialize)>(L"ole32.dll", "CoUninitialize");
    if (function) function();
    comEntered = false;
    comTried = false;
}

}  // namespace zendrel::late
