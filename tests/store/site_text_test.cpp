#include <gtest/gtest.h>

#include "site_text.h"

namespace zendrel {
namespace {

using Lines = std::vector<std::wstring>;

TEST(ParseUrlLines, LineEndsOfEveryKindSplitAlike) {
    const Lines sites{L"www.one.example", L"two.example", L"three.example"};
    EXPECT_EQ(ParseUrlLines(L"www.one.example\r\ntwo.example\r\nthree.example\r\n"), sites);
    EXPECT_EQ(ParseUrlLines(L"www.one.example\ntwo.example\nthree.example\n"), sites);
    EXPECT_EQ(ParseUrlLines(L"www.one.example\rtwo.example\rthree.example\r"), sites);
    EXPECT_EQ(ParseUrlLines(L"www.one.example\r\ntwo.example\nthree.example\r"), sites);
    // A last line without an end counts.
    EXPECT_EQ(ParseUrlLines(L"www.one.example\r\ntwo.example\r\nthree.example"), sites);
    // LF CR is two line ends, CR CR LF too: the empty lines between vanish.
    EXPECT_EQ(ParseUrlLines(L"ab\n\rcd\r\r\nef"), (Lines{L"ab", L"cd", L"ef"}));
}

TEST(ParseUrlLines, ShortLinesDroppedEverythingElseKeptAsItStands) {
    EXPECT_TRUE(ParseUrlLines(L"").empty());
    EXPECT_TRUE(ParseUrlLines(L"\r\n\r\n\n\r").empty());
    EXPECT_TRUE(ParseUrlLines(L"a\r\nb\nc").empty());
    EXPECT_EQ(ParseUrlLines(L"ab"), (Lines{L"ab"}));
    EXPECT_EQ(ParseUrlLines(L"x\r\n  \r\n a.example \r\n\tb\r\n"),
              (Lines{L"  ", L" a.example ", L"\tb"}));
    EXPECT_EQ(ParseUrlLines(L"dup.example\r\ndup.example\r\n"),
              (Lines{L"dup.example", L"dup.example"}));
    EXPECT_EQ(ParseUrlLines(std::wstring(L"a\0b\r\n", 5)), (Lines{std::wstring(L"a\0b", 3)}));
    EXPECT_EQ(ParseUrlLines(L"caf\u00e9.example\r\n\u0436\u0436\r\n"),
              (Lines{L"caf\u00e9.example", L"\u0436\u0436"}));
}

TEST(JoinUrlLines, EveryEntryEndsWithCrLf) {
    EXPECT_EQ(JoinUrlLines({}), L"");
    EXPECT_EQ(JoinUrlLines({L"a.example"}), L"a.example\r\n");
    EXPECT_EQ(JoinUrlLines({L" a ", L"", L"b"}), L" a \r\n\r\nb\r\n");
}

TEST(JoinUrlLines, WhatIsWrittenLoadsBack) {
    const Lines sites{L"first.example", L" blanks ", L"first.example", L"\u00e9\u00e8"};
    EXPECT_EQ(ParseUrlLines(JoinUrlLines(sites)), sites);
    Lines many(100000);
    for (std::size_t i = 0; i < many.size(); ++i) many[i] = L"site" + std::to_wstring(i);
    std::wstring text = JoinUrlLines(many);
    EXPECT_EQ(text.substr(0, 14), L"site0\r\nsite1\r\n");
    EXPECT_EQ(ParseUrlLines(text), many);
}

TEST(Requests, JoinSkipsEmptyEntriesAndPutsOneNulBetweenTwo) {
    EXPECT_EQ(JoinRequests({}), L"");
    EXPECT_EQ(JoinRequests({L"", L""}), L"");
    EXPECT_EQ(JoinRequests({L"a.example"}), L"a.example");
    EXPECT_EQ(JoinRequests({L"", L"a", L"", L"b", L""}), std::wstring(L"a\0b", 3));
    EXPECT_EQ(JoinRequests({L" ", L"c"}), std::wstring(L" \0c", 3));
}

TEST(Requests, SplitKeepsEmptyPieces) {
    EXPECT_TRUE(SplitRequests(L"").empty());
    EXPECT_EQ(SplitRequests(L"a.example"), (Lines{L"a.example"}));
    EXPECT_EQ(SplitRequests(std::wstring(L"a\0\0b", 4)), (Lines{L"a", L"", L"b"}));
    EXPECT_EQ(SplitRequests(std::wstring(L"\0", 1)), (Lines{L"", L""}));
}

TEST(Requests, TrailingNulGivesAnEmptyEntryThatIsNotWrittenBack) {
    const std::wstring stored(L"one.example\0two.example\0", 24);
    Lines entries = SplitRequests(stored);
    EXPECT_EQ(entries, (Lines{L"one.example", L"two.example", L""}));
    EXPECT_EQ(JoinRequests(entries), std::wstring(L"one.example\0two.example", 23));
}

TEST(SiteChanges, AChangedFileKeepsItsRowsAndGetsOnlyTheWindowsOwnChanges) {
    using Rows = std::vector<std::wstring>;
    struct Case {
        const char* what;
        Rows before, after, now, merged;
    };
    const Case cases[] = {
        {"unchanged rows stay, removed go, added come last",
         {L"a", L"b", L"c"},
         {L"a", L"c", L"d"},
         {L"x", L"a", L"b", L"c", L"y"},
         {L"x", L"a", L"c", L"y", L"d"}},
        {"one removal takes one of two equal rows",
         {L"a", L"a"},
         {L"a"},
         {L"a", L"a", L"a"},
         {L"a", L"a"}},
        {"a row removed elsewhere is not added back", {L"a", L"b"}, {L"a", L"b"}, {L"a"}, {L"a"}},
        {"a row added here and elsewhere comes twice",
         {L"a"},
         {L"a", L"n"},
         {L"a", L"n"},
         {L"a", L"n", L"n"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MergeChanges(c.before, c.after, c.now), c.merged) << c.what;
    EXPECT_EQ(WithoutRemoved({L"a", L"b", L"a", L"c"}, {L"a", L"c", L"z"}), (Rows{L"b", L"a"}));
}

}  // namespace
}  // namespace zendrel
