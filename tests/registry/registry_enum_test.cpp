// EnumRegistryKeys and EnumRegistryValues against the real registry.
#include <gtest/gtest.h>

#include <vector>

#include "direct_registry.h"

namespace zendrel {
namespace {

using namespace std::string_literals;
using test::PutA;

class RegistryEnumTest : public ::testing::Test {
  protected:
    test::ScratchKey key_ = test::ScratchKey::Unique(HKEY_CURRENT_USER, L"enum");
    RegistryWrapper reg_;  // the enumerations ignore the wrapper's own key
    std::int32_t root_ = key_.RootValue();

    void AddSubkey(const std::wstring& name) {
        HKEY h = nullptr;
        ASSERT_EQ(RegCreateKeyExW(key_.Handle(), name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &h, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(h);
    }

    // The value names in the order Windows enumerates them, read with the
    // Unicode function.
    std::vector<std::wstring> NamesInOrder() {
        std::vector<std::wstring> names;
        for (DWORD i = 0;; ++i) {
            wchar_t name[400];
            DWORD n = 400;
            if (RegEnumValueW(key_.Handle(), i, name, &n, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                return names;
            names.emplace_back(name, n);
        }
    }
};

TEST_F(RegistryEnumTest, MissingOrEmptyKeyGivesEmptyCollection) {
    EXPECT_EQ(reg_.EnumRegistryKeys(root_, key_.Path() + L"\\missing").Count(), 0u);
    EXPECT_EQ(reg_.EnumRegistryValues(root_, key_.Path() + L"\\missing").Count(), 0u);
    EXPECT_EQ(reg_.EnumRegistryKeys(root_, key_.Path()).Count(), 0u);
    EXPECT_EQ(reg_.EnumRegistryValues(root_, key_.Path()).Count(), 0u);
    EXPECT_EQ(reg_.EnumRegistryKeys(0, L"Software").Count(), 0u);
    key_.Deny(KEY_READ);
    EXPECT_EQ(reg_.EnumRegistryKeys(root_, key_.Path()).Count(), 0u);
}

TEST_F(RegistryEnumTest, KeysInWindowsOrderFoundInAnyCase) {
    AddSubkey(L"beta");
    AddSubkey(L"Alpha");
    Collection<std::wstring> keys = reg_.EnumRegistryKeys(root_, key_.Path());
    ASSERT_EQ(keys.Count(), 2u);
    EXPECT_EQ(keys.Item(0), L"Alpha");
    EXPECT_EQ(keys.Item(1), L"beta");
    EXPECT_EQ(keys.Key(0), L"Alpha");
    ASSERT_NE(keys.Find(L"ALPHA"), nullptr);
    EXPECT_EQ(*keys.Find(L"ALPHA"), L"Alpha");
    ASSERT_NE(keys.Find(L"Beta"), nullptr);
    EXPECT_EQ(*keys.Find(L"Beta"), L"beta");
    EXPECT_EQ(keys.Find(L"gamma"), nullptr);
}

TEST_F(RegistryEnumTest, EmptyKeyNameListsTheGivenKeyItself) {
    AddSubkey(L"only");
    PutA(key_.Handle(), "v", REG_SZ, "x"s + '\0');
    std::int32_t handle = test::HandleValue(key_.Handle());
    Collection<std::wstring> keys = reg_.EnumRegistryKeys(handle, L"");
    ASSERT_EQ(keys.Count(), 1u);
    EXPECT_EQ(keys.Item(0), L"only");
    auto values = reg_.EnumRegistryValues(handle, L"");
    ASSERT_EQ(values.Count(), 1u);
    EXPECT_EQ(values.Item(0)[1], Variant(L"x"));
    // The handle was not closed by the listing.
    EXPECT_EQ(test::QueryA(key_.Handle(), "v").status, ERROR_SUCCESS);
}

TEST_F(RegistryEnumTest, ValuesByType) {
    HKEY k = key_.Handle();
    PutA(k, "bin", REG_BINARY, "\x00\x0A\xFF"s);
    PutA(k, "bin0", REG_BINARY, "");
    PutA(k, "dword", REG_DWORD, "\xFF\xFF\xFF\xFF"s);
    PutA(k, "qword", REG_QWORD, "\1\0\0\0\0\0\0\0"s);
    PutA(k, "multi", REG_MULTI_SZ, "a\0b\0\0"s);
    PutA(k, "multi0", REG_MULTI_SZ, "\0\0"s);
    PutA(k, "sz", REG_SZ, "text"s + '\0');
    PutA(k, "sz0", REG_SZ, "");
    PutA(k, "", REG_SZ, "default"s + '\0');
    std::string longValue = test::Pattern(5000);
    ASSERT_TRUE(SetEnvironmentVariableA("ZENDREL_TEST_LONG", longValue.c_str()));
    PutA(k, "exp", REG_EXPAND_SZ, "%ZENDREL_TEST_LONG%"s + '\0');

    auto values = reg_.EnumRegistryValues(root_, key_.Path());
    std::vector<std::wstring> order = NamesInOrder();
    ASSERT_EQ(values.Count(), order.size());
    ASSERT_EQ(values.Count(), 10u);
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(values.Item(i)[0], Variant(order[i])) << i;
        EXPECT_EQ(values.Key(i), order[i]) << i;
    }
    auto data = [&](const wchar_t* name) {
        const std::array<Variant, 2>* member = values.Find(name);
        return member ? (*member)[1] : Variant(L"<not listed>");
    };
    EXPECT_EQ(data(L"bin"), Variant(L"00 0A FF"));
    EXPECT_EQ(data(L"BIN0"), Variant(L""));
    EXPECT_EQ(data(L"Dword"), Variant(std::int32_t{-1}));
    EXPECT_EQ(data(L"qword"), Variant());
    EXPECT_EQ(data(L"multi"), Variant(L"a,b"));
    EXPECT_EQ(data(L"multi0"), Variant(L""));
    EXPECT_EQ(data(L"sz"), Variant(L"text"));
    EXPECT_EQ(data(L"sz0"), Variant(L""));
    EXPECT_EQ(data(L""), Variant(L"default"));
    EXPECT_EQ(data(L"exp"), Variant(test::WidePattern(5000)));
}

TEST_F(RegistryEnumTest, LongDataListedInFull) {
    std::string text = test::Pattern(4999) + '\0';
    PutA(key_.Handle(), "text", REG_SZ, text);
    std::string bytes = test::Pattern(40000);
    bytes[1] = '\0';
    bytes[39999] = '\xFE';
    PutA(key_.Handle(), "bytes", REG_BINARY, bytes);
    auto values = reg_.EnumRegistryValues(root_, key_.Path());
    ASSERT_EQ(values.Count(), 2u);
    ASSERT_NE(values.Find(L"text"), nullptr);
    EXPECT_EQ((*values.Find(L"text"))[1], Variant(test::WidePattern(4999)));
    ASSERT_NE(values.Find(L"bytes"), nullptr);
    const std::wstring& hex = (*values.Find(L"bytes"))[1].Text();
    ASSERT_EQ(hex.size(), 40000u * 3 - 1);
    EXPECT_EQ(hex.substr(0, 9), L"61 00 63 ");
    EXPECT_EQ(hex.substr(hex.size() - 6), L" 6B FE");
}

TEST_F(RegistryEnumTest, NameTooLongEndsTheListing) {
    PutA(key_.Handle(), "a", REG_DWORD, "\1\0\0\0"s);
    PutA(key_.Handle(), std::string(300, 'b'), REG_DWORD, "\2\0\0\0"s);
    PutA(key_.Handle(), "c", REG_DWORD, "\3\0\0\0"s);
    ASSERT_EQ(NamesInOrder().size(), 3u);
    ASSERT_EQ(NamesInOrder()[0], L"a");
    auto values = reg_.EnumRegistryValues(root_, key_.Path());
    ASSERT_EQ(values.Count(), 1u);
    EXPECT_EQ(values.Item(0)[0], Variant(L"a"));
    EXPECT_EQ(values.Item(0)[1], Variant(std::int32_t{1}));
}

}  // namespace
}  // namespace zendrel
