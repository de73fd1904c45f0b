#include "site_import.h"

#include <algorithm>
#include <unordered_set>

namespace zendrel {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Appends a code point as the programs' wide text holds it: a surrogate pair
// where wchar_t has 16 bits (Windows), the code point itself elsewhere.
void AppendCodePoint(std::wstring& text, char32_t c) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            text.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
            text.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
            return;
        }
    }
    text.push_back(static_cast<wchar_t>(c));
}

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

std::wstring DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::wstring text;
    text.reserve(bytes.size() / 2);
    auto unit = [&](std::size_t i) -> char16_t {
        auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
        auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
        return static_cast<char16_t>(hi << 8 | lo);
    };
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            char16_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendCodePoint(text, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendCodePoint(text, u >= 0xD800 && u <= 0xDFFF ? kReplacement : char32_t{u});
    }
    if (i < bytes.size()) AppendCodePoint(text, kReplacement);
    return text;
}

// The length of the strict UTF-8 sequence at bytes[i] (no overlong forms, no
// surrogates, nothing above U+10FFFF) and its code point; 0 when there is none.
std::size_t Utf8Sequence(std::string_view bytes, std::size_t i, char32_t& c) {
    auto b = static_cast<unsigned char>(bytes[i]);
    std::size_t length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
    if (length == 0 || b > 0xF4 || i + length > bytes.size()) return 0;
    c = length == 1 ? b : b & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        auto next = static_cast<unsigned char>(bytes[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        c = c << 6 | (next & 0x3F);
    }
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return length;
}

// Decodes UTF-8. Strict: false at the first byte that is not UTF-8; lenient:
// such a byte becomes U+FFFD.
bool DecodeUtf8(std::string_view bytes, std::wstring& text, bool lenient) {
    text.clear();
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t c = 0;
        std::size_t length = Utf8Sequence(bytes, i, c);
        if (length == 0) {
            if (!lenient) return false;
            c = kReplacement;
            length = 1;
        }
        AppendCodePoint(text, c);
        i += length;
    }
    return true;
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

std::wstring_view TrimBlanks(std::wstring_view line) {
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
    return line;
}

// Calls `each` with every line of `text` and its 1-based number; a last line
// without an end counts too, an empty text has no line.
template <typename Each>
void ForEachLine(std::wstring_view text, Each each) {
    std::size_t number = 0, start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring_view::npos) end = text.size();
        each(++number, text.substr(start, end - start));
        start = end;
        if (start < text.size() && text[start] == L'\r') ++start;
        if (start < text.size() && text[start] == L'\n') ++start;
    }
}

std::wstring Plural(std::size_t n, const wchar_t* one, const wchar_t* many) {
    return std::to_wstring(n) + L" " + (n == 1 ? one : many);
}

}  // namespace

DecodedText DecodeTextFile(std::string_view bytes, const AnsiDecoder& fromAnsi) {
    using namespace std::string_view_literals;
    if (StartsWith(bytes, "\xFF\xFE"sv))
        return {DecodeUtf16(bytes.substr(2), false), TextEncoding::Utf16Le};
    if (StartsWith(bytes, "\xFE\xFF"sv))
        return {DecodeUtf16(bytes.substr(2), true), TextEncoding::Utf16Be};
    DecodedText decoded;
    if (StartsWith(bytes, "\xEF\xBB\xBF"sv)) {
        // Marked as UTF-8: a byte that is not UTF-8 is damage, not ANSI.
        DecodeUtf8(bytes.substr(3), decoded.text, true);
        decoded.encoding = TextEncoding::Utf8WithBom;
        return decoded;
    }
    if (DecodeUtf8(bytes, decoded.text, false)) return decoded;
    return {fromAnsi(bytes), TextEncoding::Ansi};
}

SiteImport ReadSiteList(std::wstring_view text, const std::vector<std::wstring>& listed,
                        const SiteCheck& check) {
    SiteImport result;
    std::unordered_set<std::wstring> seen(listed.begin(), listed.end());
    ForEachLine(text, [&](std::size_t number, std::wstring_view line) {
        std::wstring_view site = TrimBlanks(line);
        if (site.empty() || site.front() == L'#') return;
        if (std::wstring reason = check(site); !reason.empty()) {
            result.refused.push_back({number, std::wstring(site), std::move(reason)});
            return;
        }
        if (!seen.emplace(site).second) {
            ++result.alreadyListed;
            return;
        }
        result.sitesToAdd.emplace_back(site);
    });
    return result;
}

std::wstring DescribeRefusedLine(const RefusedLine& refused) {
    std::wstring shown = refused.text;
    for (wchar_t& c : shown)
        if (c < 0x20 || c == 0x7F) c = L'?';
    return L"line " + std::to_wstring(refused.line) + L" \"" + shown + L"\" (" + refused.reason +
           L")";
}

std::wstring ImportSummary(const SiteImport& result, std::size_t maxRefusedShown) {
    std::wstring summary = L"Imported " + Plural(result.sitesToAdd.size(), L"site", L"sites");
    if (result.alreadyListed > 0)
        summary += L"; " + Plural(result.alreadyListed, L"was", L"were") + L" already listed";
    if (!result.refused.empty()) {
        summary += L"; " + std::to_wstring(result.refused.size()) + L" refused";
        std::size_t shown = std::min(maxRefusedShown, result.refused.size());
        for (std::size_t i = 0; i < shown; ++i)
            summary += (i == 0 ? L": " : L", ") + DescribeRefusedLine(result.refused[i]);
        if (shown > 0 && shown < result.refused.size())
            summary += L" and " + std::to_wstring(result.refused.size() - shown) + L" more";
    }
    return summary;
}

}  // namespace zendrel
