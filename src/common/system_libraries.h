// Libraries come from the system folder only: never from the program's own
// folder, the current folder or PATH, where a user who can write there could
// plant one for an administrator's program to load. Windows only; header-only,
// so that journalprep, which links nothing of ours, can use it too.
#pragma once

#include <windows.h>

#include <string>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace zendrel {

// Called first thing in every program: every library loaded later without a
// full path (by the program, by a library it calls, by the loader for a
// delay-loaded import) is searched for in the system folder only. Windows 7
// without the update that brings SetDefaultDllDirectories gets the current
// folder taken out of the search instead.
inline void KeepLibrarySearchToSystemFolder() noexcept {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto setDefault =
        kernel ? reinterpret_cast<SetDefaultDllDirectoriesFunction>(
                     reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")))
               : nullptr;
    if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
}

// The library `name` of the system folder, or null; never one of the
// program's folder or the current one, whatever the process's search order.
inline HMODULE LoadSystemLibrary(const wchar_t* name) noexcept {
    if (HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
    if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
    // Windows 7 without the update that knows the flag: by its full path.
    wchar_t folder[MAX_PATH] = {};
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    try {
        return LoadLibraryW((std::wstring(folder, length) + L"\\" + name).c_str());
    } catch (...) {
        return nullptr;
    }
}

}  // namespace zendrel
