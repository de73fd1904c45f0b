// The registry value conversions: any type with any data block read, and any
// value written as any type, with a one-byte code page (byte n is code unit
// n) and an expander that knows %HOME% and %EMPTY%.
//
// Input: the first byte is the type (read as unsigned, written as a signed
// dtype so negative ones come too); the rest is the data block. To write, the
// block's first byte picks the kind of value and the rest is its content.
#include <algorithm>
#include <optional>
#include <span>
#include <string>

#include "failure.h"
#include "fuzz_input.h"
#include "registry_values.h"

namespace {

using zendrel::Bytes;
using zendrel::Variant;
using Span = std::span<const std::uint8_t>;

// The one-byte code page: byte n is code unit n; a character above 255 has no
// place and is written as "?".
std::wstring Decode(std::string_view bytes) {
    std::wstring text;
    for (char c : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return text;
}

// The expected text of registry bytes, for the checks.
std::wstring DecodeBytes(Span bytes) {
    return std::wstring(bytes.begin(), bytes.end());
}

std::string Encode(std::wstring_view text) {
    std::string bytes;
    for (wchar_t c : text) bytes += c < 256 ? static_cast<char>(c) : '?';
    return bytes;
}

// Environment references as the system expands them: one longer, one empty.
std::string Expand(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        if (s.compare(i, 6, "%HOME%") == 0) {
            out += "C:\\Users\\a-rather-long-home-folder";
            i += 6;
        } else if (s.compare(i, 7, "%EMPTY%") == 0) {
            i += 7;
        } else {
            out += s[i++];
        }
    }
    return out;
}

const zendrel::AnsiConversions kAnsi{Decode, Encode, Expand};

// The first four bytes, least significant first, missing ones zero.
std::int32_t DwordOf(Span data) {
    std::uint8_t four[4] = {};
    std::copy_n(data.begin(), std::min<std::size_t>(4, data.size()), four);
    std::uint32_t v = four[0] | four[1] << 8 | four[2] << 16 | std::uint32_t{four[3]} << 24;
    return static_cast<std::int32_t>(v);
}

// The data with its last byte turned into the terminator.
Bytes WithTerminator(Span data) {
    Bytes bytes(data.begin(), data.end());
    bytes.back() = 0;
    return bytes;
}

// Each listed byte as "XX", one space between two.
Bytes FromHexText(const std::wstring& hex) {
    Bytes bytes;
    for (std::size_t i = 0; i < hex.size(); i += 3) {
        FUZZ_CHECK(i + 2 <= hex.size() && (i + 2 == hex.size() || hex[i + 2] == L' '));
        std::string pair(hex.begin() + i, hex.begin() + i + 2);
        FUZZ_CHECK(pair.find_first_not_of("0123456789ABCDEF") == std::string::npos);
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(pair, nullptr, 16)));
    }
    return bytes;
}

// Text as the registry reads it: all but the last byte, nulls kept.
void CheckText(std::uint32_t type, Span data) {
    const auto queried = zendrel::QueriedValue(type, data, kAnsi);
    const Variant listed = zendrel::ListedValue(type, data, kAnsi);
    if (data.empty()) {
        FUZZ_CHECK(!queried && listed == Variant(L""));
        return;
    }
    FUZZ_CHECK(queried && *queried == listed);
    const std::wstring& text = queried->Text();
    if (type == zendrel::kRegSz) {
        FUZZ_CHECK(text == DecodeBytes(data.first(data.size() - 1)));
        // Written back, it is the same data with its terminator.
        for (std::uint32_t as : {zendrel::kRegSz, zendrel::kRegExpandSz, zendrel::kRegMultiSz})
            FUZZ_CHECK(zendrel::StoredData(*queried, static_cast<std::int32_t>(as), kAnsi) ==
                       WithTerminator(data));
    } else {
        // Expanded up to the first null; without a reference it stays as it is.
        Span source = data.first(data.size() - 1);
        source = source.first(std::find(source.begin(), source.end(), 0) - source.begin());
        FUZZ_CHECK(text.find(L'\0') == std::wstring::npos);
        if (std::find(source.begin(), source.end(), '%') == source.end())
            FUZZ_CHECK(text == DecodeBytes(source));
    }
}

void CheckMultiString(Span data) {
    const auto queried = zendrel::QueriedValue(zendrel::kRegMultiSz, data, kAnsi);
    const Variant remote = zendrel::RemoteQueriedValue(zendrel::kRegMultiSz, data, kAnsi);
    const Variant listed = zendrel::ListedValue(zendrel::kRegMultiSz, data, kAnsi);
    if (data.size() <= 2) {
        FUZZ_CHECK(!queried && remote.IsEmpty());
    } else {
        const std::wstring all = DecodeBytes(data.first(data.size() - 1));
        const bool firstEmpty = all[0] == L'\0';
        FUZZ_CHECK(firstEmpty ? !queried : queried == Variant(all));
        FUZZ_CHECK(firstEmpty ? remote.IsEmpty()
                              : remote == Variant(all.substr(0, all.size() - 1)));
    }
    if (data.size() < 2) {
        FUZZ_CHECK(listed == Variant(L""));
    } else {
        std::wstring commas = DecodeBytes(data.first(data.size() - 2));
        std::replace(commas.begin(), commas.end(), L'\0', L',');
        FUZZ_CHECK(listed == Variant(commas));
    }
}

void CheckRead(std::uint32_t type, Span data) {
    switch (type) {
        case zendrel::kRegSz:
        case zendrel::kRegExpandSz:
            CheckText(type, data);
            break;
        case zendrel::kRegBinary: {
            const Bytes bytes(data.begin(), data.end());
            FUZZ_CHECK(zendrel::QueriedValue(type, data, kAnsi) == Variant(bytes));
            const Variant listed = zendrel::ListedValue(type, data, kAnsi);
            FUZZ_CHECK(FromHexText(listed.Text()) == bytes);
            FUZZ_CHECK(zendrel::StoredData(Variant(bytes), zendrel::kRegBinary, kAnsi) == bytes);
            break;
        }
        case zendrel::kRegDword: {
            const Variant value(DwordOf(data));
            FUZZ_CHECK(zendrel::QueriedValue(type, data, kAnsi) == value);
            FUZZ_CHECK(zendrel::ListedValue(type, data, kAnsi) == value);
            Bytes four(4, 0);
            std::copy_n(data.begin(), std::min<std::size_t>(4, data.size()), four.begin());
            FUZZ_CHECK(zendrel::StoredData(value, zendrel::kRegDword, kAnsi) == four);
            break;
        }
        case zendrel::kRegMultiSz:
            CheckMultiString(data);
            return;  // its remote form differs from the queried one
        default:
            FUZZ_CHECK(!zendrel::QueriedValue(type, data, kAnsi));
            FUZZ_CHECK(zendrel::ListedValue(type, data, kAnsi).IsEmpty());
            break;
    }
    FUZZ_CHECK(zendrel::RemoteQueriedValue(type, data, kAnsi) ==
               zendrel::QueriedValue(type, data, kAnsi).value_or(Variant()));
}

// A value of the kind the first byte picks, made of the rest.
Variant ValueOf(Span block) {
    if (block.empty()) return Variant();
    const Span rest = block.subspan(1);
    switch (block[0] % 6) {
        case 0:
            return Variant();
        case 1:
            return Variant(zendrel::fuzz::CodeUnits(rest.data(), rest.size()));
        case 2:
            return Variant(!rest.empty() && (rest[0] & 1));
        case 3:
            return Variant(static_cast<std::int16_t>(DwordOf(rest)));
        case 4:
            return Variant(DwordOf(rest));
        default:
            return Variant(Bytes(rest.begin(), rest.end()));
    }
}

// "[blanks][sign]digits[blanks]" with at most nine digits: a number whose
// value is certain.
std::optional<std::int32_t> PlainInteger(const std::wstring& text) {
    std::size_t i = text.find_first_not_of(L" \t");
    std::size_t end = text.find_last_not_of(L" \t");
    if (i == std::wstring::npos) return std::nullopt;
    bool negative = text[i] == L'-';
    if (text[i] == L'-' || text[i] == L'+') ++i;
    if (i > end || end - i >= 9) return std::nullopt;
    std::int32_t value = 0;
    for (; i <= end; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return std::nullopt;
        value = value * 10 + (text[i] - L'0');
    }
    return negative ? -value : value;
}

// Writing never fails but for type mismatch (13) and overflow (6), and what
// it writes reads back as the value it came from.
void CheckWrite(const Variant& value, std::int32_t dtype) {
    std::optional<Bytes> stored;
    try {
        stored = zendrel::StoredData(value, dtype, kAnsi);
    } catch (const zendrel::Failure& f) {
        // Only a byte array has no text or number, only text can be out of
        // range or not a number, and only a byte array is binary data.
        const auto kind = value.GetKind();
        const bool text = kind == Variant::Kind::Text;
        const bool bytes = kind == Variant::Kind::Bytes;
        if (f.Number() == zendrel::kOverflow)
            FUZZ_CHECK(text && dtype == zendrel::kRegDword);
        else
            FUZZ_CHECK(f.Number() == zendrel::kTypeMismatch &&
                       (dtype == zendrel::kRegBinary
                            ? !bytes
                            : bytes || (text && dtype == zendrel::kRegDword)));
        return;
    }
    const auto kind = value.GetKind();
    switch (dtype) {
        case zendrel::kRegSz:
        case zendrel::kRegExpandSz:
        case zendrel::kRegMultiSz: {
            FUZZ_CHECK(stored && !stored->empty() && stored->back() == 0);
            // Read back as text, it is the value's text through the code page
            // (the same text where every character has a place there).
            const auto back = zendrel::QueriedValue(zendrel::kRegSz, *stored, kAnsi);
            FUZZ_CHECK(back == Variant(Decode(Encode(value.ToText()))));
            break;
        }
        case zendrel::kRegBinary:
            FUZZ_CHECK(kind == Variant::Kind::Bytes && stored == value.ByteArray());
            break;
        case zendrel::kRegDword: {
            FUZZ_CHECK(stored && stored->size() == 4);
            const std::int32_t read = DwordOf(*stored);
            FUZZ_CHECK(read == value.ToInt32());
            if (kind == Variant::Kind::Text) {
                if (auto plain = PlainInteger(value.Text())) FUZZ_CHECK(read == *plain);
            } else if (kind == Variant::Kind::Int16) {
                FUZZ_CHECK(read == value.ToInt16());
            }
            break;
        }
        default:
            FUZZ_CHECK(!stored);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const Span block(data + 1, size - 1);
    CheckRead(data[0], block);
    const auto dtype = static_cast<std::int32_t>(static_cast<std::int8_t>(data[0]));
    CheckWrite(ValueOf(block), dtype);
    return 0;
}
