#include "site_import.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zendrel {
namespace {

using Sites = std::vector<std::wstring>;

// Latin-1 stands in for the ANSI code page: each byte is its own character.
std::wstring Latin1(std::string_view bytes) {
    std::wstring text;
    for (char b : bytes) text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(b)));
    return text;
}

// The check the Windows side makes, with Latin-1 as the code page.
std::wstring Check(std::wstring_view site) {
    for (wchar_t c : site) {
        if (c < 0x20 || c == 0x7F) return L"control character";
        if (static_cast<unsigned long>(c) > 0xFF) return L"not in the code page";
    }
    return L"";
}

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::wstring text;
    TextEncoding encoding;
};

void PrintTo(const DecodeCase& c, std::ostream* out) {
    *out << c.name;
}

class DecodeTextFileTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTextFileTest, GivesTheTextAndTheEncoding) {
    DecodedText decoded = DecodeTextFile(GetParam().bytes, Latin1);
    EXPECT_EQ(decoded.text, GetParam().text);
    EXPECT_EQ(decoded.encoding, GetParam().encoding);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Encodings, DecodeTextFileTest,
    ::testing::Values(
        DecodeCase{"Empty", "", L"", TextEncoding::Utf8},
        DecodeCase{"Ascii", "a.com\r\nb.org", L"a.com\r\nb.org", TextEncoding::Utf8},
        DecodeCase{"Utf8NoMark", "caf\xC3\xA9.fr", L"caf\u00E9.fr", TextEncoding::Utf8},
        DecodeCase{"Utf8Mark",
                   "\xEF\xBB\xBF"
                   "caf\xC3\xA9",
                   L"caf\u00E9", TextEncoding::Utf8WithBom},
        DecodeCase{"Utf8MarkDamaged",
                   "\xEF\xBB\xBF"
                   "a\xE9z",
                   L"a\uFFFDz", TextEncoding::Utf8WithBom},
        // Not UTF-8 (a lone E9, an overlong form, an encoded surrogate): ANSI.
        DecodeCase{"AnsiLoneByte", "caf\xE9.fr", L"caf\u00E9.fr", TextEncoding::Ansi},
        DecodeCase{"AnsiOverlong", "\xC0\xAF", L"\u00C0\u00AF", TextEncoding::Ansi},
        DecodeCase{"AnsiSurrogate", "\xED\xA0\x80", L"\u00ED\u00A0\u0080", TextEncoding::Ansi},
        DecodeCase{"AnsiTruncated", "ab\xE2\x82", L"ab\u00E2\u0082", TextEncoding::Ansi},
        DecodeCase{"Utf8FourBytes", "\xF0\x9F\x98\x80", L"\U0001F600", TextEncoding::Utf8},
        DecodeCase{"Utf16Le",
                   "\xFF\xFE"
                   "a\0\xE9\0\r\0\n\0"s,
                   L"a\u00E9\r\n", TextEncoding::Utf16Le},
        DecodeCase{"Utf16Be",
                   "\xFE\xFF"
                   "\0a\x04\x10"s,
                   L"a\u0410", TextEncoding::Utf16Be},
        DecodeCase{"Utf16Pair",
                   "\xFF\xFE"
                   "\x3D\xD8\x00\xDE"s,
                   L"\U0001F600", TextEncoding::Utf16Le},
        DecodeCase{"Utf16LoneSurrogate",
                   "\xFF\xFE"
                   "\x3D\xD8z\0"s,
                   L"\uFFFDz", TextEncoding::Utf16Le},
        DecodeCase{"Utf16OddByte",
                   "\xFF\xFE"
                   "a\0b"s,
                   L"a\uFFFD", TextEncoding::Utf16Le}),
    [](const auto& info) { return std::string(info.param.name); });

struct ReadCase {
    const char* name;
    std::wstring text;
    Sites listed;
    Sites toAdd;
    std::size_t alreadyListed;
    std::vector<RefusedLine> refused;
};

void PrintTo(const ReadCase& c, std::ostream* out) {
    *out << c.name;
}

class ReadSiteListTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadSiteListTest, SortsEachLine) {
    const ReadCase& c = GetParam();
    SiteImport result = ReadSiteList(c.text, c.listed, Check);
    EXPECT_EQ(result.sitesToAdd, c.toAdd);
    EXPECT_EQ(result.alreadyListed, c.alreadyListed);
    EXPECT_EQ(result.refused, c.refused);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReadSiteListTest,
    ::testing::Values(
        ReadCase{"Empty", L"", {}, {}, 0, {}},
        ReadCase{"EveryLineEnd",
                 L"a.com\r\nb.com\nc.com\rd.com",
                 {},
                 {L"a.com", L"b.com", L"c.com", L"d.com"},
                 0,
                 {}},
        ReadCase{"BlanksTrimmed", L" \ta.com \t\r\n", {}, {L"a.com"}, 0, {}},
        ReadCase{"BlankLinesSkipped", L"\r\n  \r\n\t\r\na.com\r\n\r\n", {}, {L"a.com"}, 0, {}},
        ReadCase{"CommentsSkipped",
                 L"# sites\r\n  # indented\r\na.com # not a comment",
                 {},
                 {L"a.com # not a comment"},
                 0,
                 {}},
        ReadCase{"InnerBlanksKept", L"a .com", {}, {L"a .com"}, 0, {}},
        ReadCase{"ListedBefore", L"a.com\r\nb.com", {L"b.com"}, {L"a.com"}, 1, {}},
        ReadCase{"EarlierInFile", L"a.com\r\nb.com\r\n a.com", {}, {L"a.com", L"b.com"}, 1, {}},
        ReadCase{"ExactTextCompared", L"A.com", {L"a.com"}, {L"A.com"}, 0, {}},
        // A refused line keeps its own number among blanks and comments; a
        // lone CR inside a line ends it, so only other control characters remain.
        ReadCase{"Refused",
                 L"#\r\n\r\nok.com\r\nbad\u0001.com\r\n\u0410.ru\r\nz.com",
                 {},
                 {L"ok.com", L"z.com"},
                 0,
                 {{4, L"bad\u0001.com", L"control character"},
                  {5, L"\u0410.ru", L"not in the code page"}}},
        ReadCase{
            "RefusedNotCountedAsListed",
            L"\u0410\r\n\u0410",
            {},
            {},
            0,
            {{1, L"\u0410", L"not in the code page"}, {2, L"\u0410", L"not in the code page"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadSiteList, ReadsAHundredThousandLines) {
    std::wstring text;
    Sites listed;
    for (int i = 0; i < 100000; ++i) {
        text += L"site" + std::to_wstring(i) + L".example\r\n";
        if (i % 10 == 0) listed.push_back(L"site" + std::to_wstring(i) + L".example");
    }
    text += L"site5.example\r\n";
    SiteImport result = ReadSiteList(text, listed, Check);
    EXPECT_EQ(result.sitesToAdd.size(), 90000u);
    EXPECT_EQ(result.sitesToAdd.back(), L"site99999.example");
    EXPECT_EQ(result.alreadyListed, 10001u);
}

struct SummaryCase {
    const char* name;
    std::size_t added;
    std::size_t listed;
    std::size_t refused;
    std::size_t shown;
    std::wstring summary;
};

void PrintTo(const SummaryCase& c, std::ostream* out) {
    *out << c.name;
}

class ImportSummaryTest : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(ImportSummaryTest, SaysWhatHappened) {
    SiteImport result;
    result.sitesToAdd.assign(GetParam().added, L"a.com");
    result.alreadyListed = GetParam().listed;
    for (std::size_t i = 0; i < GetParam().refused; ++i)
        result.refused.push_back({17 + i, L"b\u0007", L"control character"});
    EXPECT_EQ(ImportSummary(result, GetParam().shown), GetParam().summary);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, ImportSummaryTest,
    ::testing::Values(SummaryCase{"Nothing", 0, 0, 0, 2, L"Imported 0 sites"},
                      SummaryCase{"One", 1, 1, 0, 2, L"Imported 1 site; 1 was already listed"},
                      SummaryCase{"RefusedOnlyCounted", 1, 0, 3, 0, L"Imported 1 site; 3 refused"},
                      SummaryCase{"All", 118, 3, 1, 2,
                                  L"Imported 118 sites; 3 were already listed; 1 refused: line 17 "
                                  L"\"b?\" (control character)"},
                      SummaryCase{
                          "ManyRefused", 2, 0, 5, 2,
                          L"Imported 2 sites; 5 refused: line 17 \"b?\" (control character), "
                          L"line 18 \"b?\" (control character) and 3 more"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zendrel
