#include "program_name.h"

#include <windows.h>

namespace zendrel {

namespace {

std::wstring ModuleBaseName() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path, length);
    name.erase(0, name.find_last_of(L"\\/") + 1);
    if (std::size_t dot = name.find_last_of(L'.'); dot != std::wstring::npos) name.erase(dot);
    return name;
}

std::wstring& Name() {
    static std::wstring name = ModuleBaseName();
    return name;
}

}  // namespace

const std::wstring& ProgramName() {
    return Name();
}

void SetProgramName(std::wstring name) {
    Name() = std::move(name);
}

}  // namespace zendrel
