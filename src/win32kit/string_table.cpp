#include "string_table.h"

#include <windows.h>

#include <optional>

#include "program_name.h"
#include "text.h"
#include "win32_failure.h"

namespace zendrel {

namespace {

// The string in the mapped image (LoadString with no buffer gives it, with no
// terminating zero), or nullopt when the table has none under the id.
std::optional<std::wstring_view> Find(unsigned id) {
    const wchar_t* text = nullptr;
    int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return std::nullopt;
    return std::wstring_view(text, static_cast<std::size_t>(length));
}

}  // namespace

std::wstring LoadText(unsigned id) {
    std::optional<std::wstring_view> text = Find(id);
    if (!text) {
        DWORD error = GetLastError();
        throw FailureFromWin32(error ? error : ERROR_RESOURCE_NAME_NOT_FOUND, ProgramName());
    }
    return std::wstring(*text);
}

std::wstring LoadTextOr(unsigned id, std::wstring_view fallback) {
    return std::wstring(Find(id).value_or(fallback));
}

std::wstring LoadText(unsigned id, std::initializer_list<std::wstring_view> inserts) {
    return WithInserts(LoadText(id), inserts);
}

}  // namespace zendrel
