// Text through the ANSI code page 1251 (this program runs with a Russian
// locale): Cyrillic names and data go in and come back unchanged, and the
// registry holds their code page 1251 bytes.
#include <gtest/gtest.h>

#include "direct_registry.h"

namespace zendrel {
namespace {

using namespace std::string_literals;
using test::PutA;
using test::QueryA;

// "Привет, мир" in code page 1251.
const std::wstring kText = L"\u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440";
const std::string kBytes = "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0";
// "Ключ" (key) and "значение" (value).
const std::wstring kKeyName = L"\u041A\u043B\u044E\u0447";
const std::wstring kValueName = L"\u0437\u043D\u0430\u0447\u0435\u043D\u0438\u0435";
const std::string kValueNameBytes = "\xE7\xED\xE0\xF7\xE5\xED\xE8\xE5";

class RegistryCodePageTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(GetACP(), 1251u) << "the locale did not reach Wine"; }

    test::ScratchKey key_ = test::ScratchKey::Unique(HKEY_CURRENT_USER, L"codepage");
    RegistryWrapper reg_ = test::WrapperFor(key_);
};

TEST_F(RegistryCodePageTest, WrittenTextIsStoredAsCodePageBytes) {
    ASSERT_TRUE(reg_.SetRegistryValue(kValueName, kText, 1));
    // The ANSI view holds the 1251 bytes under the 1251 name...
    test::StoredValue v = QueryA(key_.Handle(), kValueNameBytes);
    ASSERT_EQ(v.status, ERROR_SUCCESS);
    EXPECT_EQ(v.bytes, kBytes + '\0');
    // ...and the Unicode view the Cyrillic letters.
    wchar_t wide[64] = {};
    DWORD size = sizeof wide;
    ASSERT_EQ(RegQueryValueExW(key_.Handle(), kValueName.c_str(), nullptr, nullptr,
                               reinterpret_cast<BYTE*>(wide), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(wide), kText);
    EXPECT_EQ(reg_.GetRegistryValue(kValueName), Variant(kText));
    EXPECT_EQ(reg_.ReadRemoteRegistryValue(L"", key_.RootValue(), kValueName), Variant(kText));
}

TEST_F(RegistryCodePageTest, StoredBytesReadAsCyrillic) {
    PutA(key_.Handle(), kValueNameBytes, REG_SZ, kBytes + '\0');
    PutA(key_.Handle(), "multi", REG_MULTI_SZ, kBytes + '\0' + kBytes + '\0' + '\0');
    EXPECT_EQ(reg_.GetRegistryValue(kValueName), Variant(kText));
    EXPECT_EQ(reg_.GetRegistryValue(L"multi"), Variant(kText + L'\0' + kText + L'\0'));
    auto values = reg_.EnumRegistryValues(key_.RootValue(), key_.Path());
    ASSERT_NE(values.Find(kValueName), nullptr);
    EXPECT_EQ((*values.Find(kValueName))[1], Variant(kText));
    ASSERT_NE(values.Find(L"multi"), nullptr);
    EXPECT_EQ((*values.Find(L"multi"))[1], Variant(kText + L',' + kText));
}

TEST_F(RegistryCodePageTest, CyrillicKeyNames) {
    RegistryWrapper reg = reg_;
    reg.KeyRoot = key_.Path();
    ASSERT_EQ(reg.CreateKey(Variant(kKeyName)), L"0");
    EXPECT_TRUE(test::KeyPresent(HKEY_CURRENT_USER, key_.Path() + L"\\" + kKeyName));
    Collection<std::wstring> keys = reg.EnumRegistryKeys(key_.RootValue(), key_.Path());
    ASSERT_EQ(keys.Count(), 1u);
    EXPECT_EQ(keys.Item(0), kKeyName);
    reg.Subkey = kKeyName;
    EXPECT_TRUE(reg.KeyExists());
    EXPECT_EQ(reg.DeleteKey(kKeyName), 0);
    EXPECT_FALSE(reg.KeyExists());
}

}  // namespace
}  // namespace zendrel
