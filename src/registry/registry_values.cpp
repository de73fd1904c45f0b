#include "registry_values.h"

#include <algorithm>

namespace zendrel {

namespace {

std::string_view AsChars(std::span<const std::uint8_t> data) {
    return std::string_view(reinterpret_cast<const char*>(data.data()), data.size());
}

// The text of the first n bytes, null bytes kept as null characters.
std::wstring TextOf(std::span<const std::uint8_t> data, std::size_t n,
                    const AnsiConversions& ansi) {
    return ansi.decode(AsChars(data.first(n)));
}

// The text of all but the terminator, expanded; expansion stops at the first
// null byte as ExpandEnvironmentStringsA does.
std::wstring ExpandedText(std::span<const std::uint8_t> data, const AnsiConversions& ansi) {
    std::string_view source = AsChars(data.first(data.size() - 1));
    source = source.substr(0, source.find('\0'));
    return ansi.decode(ansi.expand(std::string(source)));
}

// Least significant byte first; missing bytes count as zero, as in the
// zero-filled buffers the registry is read into.
std::int32_t DwordOf(std::span<const std::uint8_t> data) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4 && i < data.size(); ++i) v |= std::uint32_t{data[i]} << (8 * i);
    return static_cast<std::int32_t>(v);
}

bool FirstStringEmpty(const std::wstring& text) {
    return text.empty() || text[0] == L'\0';
}

}  // namespace

std::optional<Variant> QueriedValue(std::uint32_t type, std::span<const std::uint8_t> data,
                                    const AnsiConversions& ansi) {
    switch (type) {
        case kRegSz:
            if (data.empty()) return std::nullopt;
            return Variant(TextOf(data, data.size() - 1, ansi));
        case kRegExpandSz:
            if (data.empty()) return std::nullopt;
            return Variant(ExpandedText(data, ansi));
        case kRegBinary:
            return Variant(Bytes(data.begin(), data.end()));
        case kRegDword:
            return Variant(DwordOf(data));
        case kRegMultiSz: {
            // Every string keeps the null after it; the closing extra null goes.
            if (data.size() <= 2) return std::nullopt;
            std::wstring text = TextOf(data, data.size() - 1, ansi);
            if (FirstStringEmpty(text)) return std::nullopt;
            return Variant(std::move(text));
        }
        default:
            return std::nullopt;
    }
}

Variant RemoteQueriedValue(std::uint32_t type, std::span<const std::uint8_t> data,
                           const AnsiConversions& ansi) {
    if (type == kRegMultiSz) {
        if (data.size() <= 2) return Variant();
        std::wstring text = TextOf(data, data.size() - 2, ansi);
        if (FirstStringEmpty(text)) return Variant();
        return Variant(std::move(text));
    }
    return QueriedValue(type, data, ansi).value_or(Variant());
}

Variant ListedValue(std::uint32_t type, std::span<const std::uint8_t> data,
                    const AnsiConversions& ansi) {
    switch (type) {
        case kRegSz:
            if (data.empty()) return Variant(L"");
            return Variant(TextOf(data, data.size() - 1, ansi));
        case kRegExpandSz:
            if (data.empty()) return Variant(L"");
            return Variant(ExpandedText(data, ansi));
        case kRegBinary:
            return Variant(HexText(data));
        case kRegDword:
            return Variant(DwordOf(data));
        case kRegMultiSz: {
            if (data.size() < 2) return Variant(L"");
            std::wstring text = TextOf(data, data.size() - 2, ansi);
            std::replace(text.begin(), text.end(), L'\0', L',');
            return Variant(std::move(text));
        }
        default:
            return Variant();
    }
}

std::optional<Bytes> StoredData(const Variant& value, std::int32_t dtype,
                                const AnsiConversions& ansi) {
    switch (dtype) {
        case static_cast<std::int32_t>(kRegSz):
        case static_cast<std::int32_t>(kRegExpandSz):
        case static_cast<std::int32_t>(kRegMultiSz): {
            std::string text = ansi.encode(value.ToText());
            Bytes data(text.begin(), text.end());
            data.push_back(0);
            return data;
        }
        case static_cast<std::int32_t>(kRegBinary):
            return value.ByteArray();
        case static_cast<std::int32_t>(kRegDword): {
            auto v = static_cast<std::uint32_t>(value.ToInt32());
            return Bytes{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                         static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
        }
        default:
            return std::nullopt;
    }
}

std::wstring HexText(std::span<const std::uint8_t> data) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    if (data.empty()) return text;
    text.reserve(data.size() * 3 - 1);
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i > 0) text += L' ';
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 0x0F];
    }
    return text;
}

std::wstring CutAtNull(std::wstring& item) {
    std::size_t at = item.find(L'\0');
    if (at != std::wstring::npos) item.resize(at);
    return item;
}

}  // namespace zendrel
