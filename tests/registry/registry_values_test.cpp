// The registry data conversions, with a one-byte code page (bytes are the
// code units 0-255) and an expander that knows %HOME% and %EMPTY%.
#include <gtest/gtest.h>

#include <string>

#include "failure.h"
#include "registry_values.h"

namespace zendrel {
namespace {

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

std::wstring Decode(std::string_view bytes) {
    std::wstring text;
    for (char c : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return text;
}

std::string Encode(std::wstring_view text) {
    std::string bytes;
    for (wchar_t c : text) bytes += c < 256 ? static_cast<char>(c) : '?';
    return bytes;
}

const AnsiConversions kAnsi{Decode, Encode, Expand};

Bytes B(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

using namespace std::string_literals;

std::int32_t FailureNumber(const Variant& v, std::int32_t dtype) {
    try {
        StoredData(v, dtype, kAnsi);
    } catch (const Failure& f) {
        return f.Number();
    }
    return 0;
}

// The registry tests under Wine cover the usual values; these are the sizes
// and forms that Windows seldom hands out, checked here under the sanitizers.
TEST(RegistryValuesQueried, UnusualSizes) {
    // A missing terminator costs the last byte; null bytes before it stay.
    EXPECT_EQ(QueriedValue(kRegSz, B("ab"), kAnsi), Variant(L"a"));
    EXPECT_EQ(QueriedValue(kRegSz, B("a\0b\0"s), kAnsi), Variant(L"a\0b"s));
    EXPECT_EQ(QueriedValue(kRegSz, B("\xE9\xFF\0"s), kAnsi), Variant(L"\u00E9\u00FF"));
    EXPECT_EQ(QueriedValue(kRegExpandSz, B("%HOME%\0tail\0"s), kAnsi),
              Variant(L"C:\\Users\\a-rather-long-home-folder"));
    EXPECT_EQ(QueriedValue(kRegExpandSz, B("%EMPTY%\0"s), kAnsi), Variant(L""));
    EXPECT_EQ(QueriedValue(kRegExpandSz, {}, kAnsi), std::nullopt);
    // A short DWORD reads as if padded with zero bytes; a long one by its first four.
    EXPECT_EQ(QueriedValue(kRegDword, Bytes{0x01, 0x02}, kAnsi), Variant(std::int32_t{0x0201}));
    EXPECT_EQ(QueriedValue(kRegDword, {}, kAnsi), Variant(std::int32_t{0}));
    EXPECT_EQ(QueriedValue(kRegDword, Bytes{0x78, 0x56, 0x34, 0x12, 0xAA}, kAnsi),
              Variant(std::int32_t{0x12345678}));
    EXPECT_EQ(QueriedValue(kRegMultiSz, B("a\0"s), kAnsi), std::nullopt);
    EXPECT_EQ(QueriedValue(kRegMultiSz, B("a\0\0"s), kAnsi), Variant(L"a\0"s));
    for (std::uint32_t type : {0u, 5u, 6u, 8u, 11u})
        EXPECT_EQ(QueriedValue(type, Bytes{1, 0, 0, 0, 0, 0, 0, 0}, kAnsi), std::nullopt) << type;
}

TEST(RegistryValuesRemote, EmptyForTheDefault) {
    EXPECT_EQ(RemoteQueriedValue(kRegMultiSz, B("a\0\0"s), kAnsi), Variant(L"a"));
    EXPECT_EQ(RemoteQueriedValue(kRegMultiSz, B("a\0"s), kAnsi), Variant());
    EXPECT_EQ(RemoteQueriedValue(kRegExpandSz, {}, kAnsi), Variant());
    EXPECT_EQ(RemoteQueriedValue(0, {}, kAnsi), Variant());
}

TEST(RegistryValuesListed, UnusualSizes) {
    EXPECT_EQ(ListedValue(kRegMultiSz, B("\0"s), kAnsi), Variant(L""));
    EXPECT_EQ(ListedValue(kRegMultiSz, B("ab"), kAnsi), Variant(L""));
    EXPECT_EQ(ListedValue(kRegMultiSz, B("a\0\0b\0\0"s), kAnsi), Variant(L"a,,b"));
    EXPECT_EQ(ListedValue(kRegSz, B("x\0y\0"s), kAnsi), Variant(L"x\0y"s));
    EXPECT_EQ(ListedValue(kRegExpandSz, B("%HOME%\0z\0"s), kAnsi),
              Variant(L"C:\\Users\\a-rather-long-home-folder"));
    EXPECT_EQ(ListedValue(kRegExpandSz, {}, kAnsi), Variant(L""));
    EXPECT_EQ(ListedValue(kRegBinary, Bytes{0x7F}, kAnsi), Variant(L"7F"));
    EXPECT_EQ(ListedValue(kRegDword, Bytes{0xFF}, kAnsi), Variant(std::int32_t{0xFF}));
    EXPECT_EQ(ListedValue(0, {}, kAnsi), Variant());
}

TEST(RegistryValuesListed, LargeBinaryHasNoLimit) {
    Bytes data(40000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
    Variant listed = ListedValue(kRegBinary, data, kAnsi);
    const std::wstring& text = listed.Text();
    ASSERT_EQ(text.size(), 40000u * 3 - 1);
    EXPECT_EQ(text.substr(0, 8), L"00 07 0E");
    // Byte 39999 is 39999 * 7 mod 256 = 0xB9.
    EXPECT_EQ(text.substr(text.size() - 3), L" B9");
}

TEST(RegistryValuesStored, Texts) {
    for (std::int32_t t : {1, 2, 7}) {
        EXPECT_EQ(StoredData(Variant(std::int32_t{1}), t, kAnsi), B("1\0"s)) << t;
        EXPECT_EQ(StoredData(Variant(), t, kAnsi), B("\0"s)) << t;
    }
    EXPECT_EQ(StoredData(Variant(true), 1, kAnsi), B("True\0"s));
    EXPECT_EQ(StoredData(Variant(L"a\0b"s), 7, kAnsi), B("a\0b\0"s));
    EXPECT_EQ(StoredData(Variant(L"\u00E9"), 1, kAnsi), B("\xE9\0"s));
    EXPECT_EQ(FailureNumber(Variant(Bytes{1}), 1), kTypeMismatch);
    // What is stored as a multi-string reads back exactly.
    for (std::wstring t : {L"ab"s, L"a\0b"s, L"one\0two\0"s, L"x\0\0y"s})
        EXPECT_EQ(QueriedValue(kRegMultiSz, *StoredData(Variant(t), 7, kAnsi), kAnsi), Variant(t));
}

TEST(RegistryValuesStored, BinaryAndDword) {
    EXPECT_EQ(StoredData(Variant(Bytes{}), 3, kAnsi), Bytes{});
    EXPECT_EQ(FailureNumber(Variant(std::int32_t{1}), 3), kTypeMismatch);
    EXPECT_EQ(StoredData(Variant(L" 305419896 "), 4, kAnsi), (Bytes{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(StoredData(Variant(true), 4, kAnsi), (Bytes{255, 255, 255, 255}));
    EXPECT_EQ(FailureNumber(Variant(Bytes{1, 0, 0, 0}), 4), kTypeMismatch);
    // Other types are not written, and their value is not even converted.
    for (std::int32_t t : {0, 5, 6, 8, 11, -1})
        EXPECT_EQ(StoredData(Variant(L"x"), t, kAnsi), std::nullopt) << t;
    EXPECT_EQ(FailureNumber(Variant(Bytes{1}), 11), 0);
}

TEST(RegistryValuesCutAtNull, BeyondAnySixteenBitPosition) {
    std::wstring item = L"\0x"s;
    EXPECT_EQ(CutAtNull(item), L"");
    item = std::wstring(40000, L'q') + L'\0' + L"rest";
    EXPECT_EQ(CutAtNull(item).size(), 40000u);
    EXPECT_EQ(item, std::wstring(40000, L'q'));
}

}  // namespace
}  // namespace zendrel
