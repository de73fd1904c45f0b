#include "launch_rules.h"

#include <algorithm>

#include "text.h"

namespace zendrel {

namespace {

bool IsControl(wchar_t c) {
    return c < 0x20 || c == 0x7F;
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::wstring_view Extension(std::wstring_view name) {
    std::size_t dot = name.find_last_of(L'.');
    std::size_t slash = name.find_last_of(L"\\/");
    if (dot == std::wstring_view::npos || (slash != std::wstring_view::npos && dot < slash))
        return {};
    return name.substr(dot);
}

bool InPathExt(std::wstring_view extension, std::wstring_view pathExt) {
    for (const std::wstring& listed : Split(pathExt, L';'))
        if (!listed.empty() && EqualsIgnoreCase(listed, extension)) return true;
    return false;
}

}  // namespace

bool IsDocumentPath(std::wstring_view path, std::wstring_view pathExt) {
    while (!path.empty() && (path.back() == L'.' || path.back() == L' ')) path.remove_suffix(1);
    bool drive = path.size() > 3 && path[1] == L':' && IsSeparator(path[2]) &&
                 ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
    bool unc = path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
    if (!drive && !unc) return false;
    if (IsSeparator(path.back())) return false;
    if (path.find(L':', drive ? 2 : 0) != std::wstring_view::npos) return false;
    if (std::any_of(path.begin(), path.end(), IsControl)) return false;
    std::wstring_view extension = Extension(path);
    if (extension.empty()) return true;
    for (std::wstring_view running : kRunningTypes)
        if (EqualsIgnoreCase(running, extension)) return false;
    return !InPathExt(extension, pathExt);
}

bool CanBeWebAddress(std::wstring_view entry) {
    if (entry.empty()) return false;
    return std::none_of(entry.begin(), entry.end(), [](wchar_t c) {
        return IsControl(c) || c == L' ' || c == L'"' || c == L'<' || c == L'>' || c == 0xA0;
    });
}

std::wstring Shown(std::wstring_view text, std::size_t limit) {
    std::wstring shown(text.substr(0, limit));
    std::replace_if(shown.begin(), shown.end(), IsControl, L'?');
    if (text.size() > limit) shown += L"...";
    return shown;
}

}  // namespace zendrel
