#include "string_table.h"

#include <windows.h>

#include "program_name.h"
#include "text.h"
#include "win32_failure.h"

namespace zendrel {

std::wstring LoadText(unsigned id) {
    // With no buffer LoadString gives the string in the mapped image, which
    // ends with no terminating zero.
    const wchar_t* text = nullptr;
    int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) {
        DWORD error = GetLastError();
        throw FailureFromWin32(error ? error : ERROR_RESOURCE_NAME_NOT_FOUND, ProgramName());
    }
    return std::wstring(text, static_cast<std::size_t>(length));
}

std::wstring LoadText(unsigned id, std::initializer_list<std::wstring_view> inserts) {
    return WithInserts(LoadText(id), inserts);
}

}  // namespace zendrel
