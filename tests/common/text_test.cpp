#include <gtest/gtest.h>

#include "collection.h"
#include "text.h"

namespace zendrel {
namespace {

TEST(Split, EverySeparatorMakesAPiece) {
    EXPECT_TRUE(Split(L"", L' ').empty());
    EXPECT_EQ(Split(L"-i", L' '), (std::vector<std::wstring>{L"-i"}));
    EXPECT_EQ(Split(L"-i  -u ", L' '), (std::vector<std::wstring>{L"-i", L"", L"-u", L""}));
    EXPECT_EQ(Split(std::wstring(L"a\0\0b", 4), L'\0'),
              (std::vector<std::wstring>{L"a", L"", L"b"}));
}

TEST(TrimSpaces, OnlySpacesAreTrimmed) {
    EXPECT_EQ(TrimSpaces(L"  a b  "), L"a b");
    EXPECT_EQ(TrimSpaces(L"\ta\t"), L"\ta\t");
    EXPECT_EQ(TrimSpaces(L"   "), L"");
}

TEST(WithInserts, MarksTakeTheirInsertsAndInsertsStayAsTheyAre) {
    EXPECT_EQ(WithInserts(L"Added %1 sites to %2.", {L"3", L"a.txt"}), L"Added 3 sites to a.txt.");
    EXPECT_EQ(WithInserts(L"%2 before %1", {L"one", L"two"}), L"two before one");
    EXPECT_EQ(WithInserts(L"100%% of %1", {L"%2%%"}), L"100% of %2%%");
    EXPECT_EQ(WithInserts(L"%3 and %", {L"x"}), L"%3 and %");
}

TEST(Collection, KeepsOrderAndFindsKeysInAnyLetterCase) {
    Collection<int> c;
    EXPECT_TRUE(c.Add(1, L"Alpha"));
    EXPECT_TRUE(c.Add(2, L"beta"));
    EXPECT_TRUE(c.Add(3, L""));
    EXPECT_FALSE(c.Add(4, L"ALPHA"));
    ASSERT_EQ(c.Count(), 3u);
    EXPECT_EQ(c.Item(0), 1);
    EXPECT_EQ(c.Key(1), L"beta");
    ASSERT_NE(c.Find(L"BETA"), nullptr);
    EXPECT_EQ(*c.Find(L"BETA"), 2);
    EXPECT_EQ(*c.Find(L""), 3);
    EXPECT_EQ(c.Find(L"gamma"), nullptr);
    EXPECT_TRUE(EqualsIgnoreCase(L"\u0416\u00e9", L"\u0436\u00c9"));
}

}  // namespace
}  // namespace zendrel
