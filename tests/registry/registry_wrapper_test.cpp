// RegistryWrapper's key and value operations against the real registry of the
// test prefix, each test in a scratch key of its own.
#include <gtest/gtest.h>

#include "direct_registry.h"
#include "failure.h"

namespace zendrel {
namespace {

using namespace std::string_literals;
using test::KeyPresent;
using test::PutA;
using test::QueryA;

class RegistryWrapperTest : public ::testing::Test {
  protected:
    test::ScratchKey key_ = test::ScratchKey::Unique(HKEY_CURRENT_USER, L"wrapper");
    RegistryWrapper reg_ = test::WrapperFor(key_);
};

std::int32_t FailureNumberOfSet(const RegistryWrapper& reg, const Variant& v, std::int32_t t) {
    try {
        reg.SetRegistryValue(L"bad", v, t);
    } catch (const Failure& f) {
        return f.Number();
    }
    return 0;
}

TEST(RegistryWrapperNew, PointsAtNothing) {
    RegistryWrapper reg;
    EXPECT_EQ(reg.hkey, 0);
    EXPECT_EQ(reg.KeyRoot, L"");
    EXPECT_EQ(reg.Subkey, L"");
    EXPECT_FALSE(reg.KeyExists());
    EXPECT_EQ(reg.GetRegistryValue(L"x", std::int32_t{7}), Variant(std::int32_t{7}));
    EXPECT_TRUE(reg.GetRegistryValue(L"x").IsEmpty());
    EXPECT_FALSE(reg.SetRegistryValue(L"x", std::int32_t{1}, 4));
    EXPECT_EQ(reg.CreateKey(), L"");
    EXPECT_NE(reg.DeleteValue(L"x"), 0);
}

TEST_F(RegistryWrapperTest, KeyPathIsKeyRootBackslashSubkey) {
    PutA(key_.Handle(), "v", REG_SZ, "here"s + '\0');
    EXPECT_TRUE(reg_.KeyExists());
    EXPECT_EQ(reg_.GetRegistryValue(L"v"), Variant(L"here"));
    // The whole path in KeyRoot and an empty Subkey: the path ends in a backslash.
    RegistryWrapper trailing = reg_;
    trailing.KeyRoot = key_.Path();
    trailing.Subkey = L"";
    EXPECT_TRUE(trailing.KeyExists());
    EXPECT_EQ(trailing.GetRegistryValue(L"v"), Variant(L"here"));
    // The properties are read when an operation starts.
    trailing.Subkey = L"missing";
    EXPECT_FALSE(trailing.KeyExists());
    trailing.hkey = kHkeyLocalMachine;
    trailing.Subkey = L"";
    EXPECT_FALSE(trailing.KeyExists());
}

TEST_F(RegistryWrapperTest, KeyExistsNeedsReadAccess) {
    test::ScratchKey locked(HKEY_CURRENT_USER, key_.Path() + L"\\locked");
    RegistryWrapper reg = test::WrapperFor(locked);
    EXPECT_TRUE(reg.KeyExists());
    locked.Deny(KEY_READ);
    EXPECT_FALSE(reg.KeyExists());
    EXPECT_EQ(reg.GetRegistryValue(L"v", L"dflt"), Variant(L"dflt"));
    locked.Restore();
    EXPECT_TRUE(reg.KeyExists());
}

TEST_F(RegistryWrapperTest, CreateKey) {
    // Omitted KeyName: KeyRoot + "\" + Subkey, every missing key on the way created.
    RegistryWrapper reg = reg_;
    reg.KeyRoot = key_.Path() + L"\\a";
    reg.Subkey = L"b\\c";
    EXPECT_FALSE(reg.KeyExists());
    EXPECT_EQ(reg.CreateKey(), L"0");
    EXPECT_TRUE(KeyPresent(HKEY_CURRENT_USER, key_.Path() + L"\\a\\b\\c"));
    // A given KeyName in its text form.
    EXPECT_EQ(reg.CreateKey(Variant(std::int32_t{5})), L"0");
    EXPECT_TRUE(KeyPresent(HKEY_CURRENT_USER, key_.Path() + L"\\a\\5"));
    EXPECT_EQ(reg.CreateKey(Variant(L"named")), L"0");
    EXPECT_TRUE(KeyPresent(HKEY_CURRENT_USER, key_.Path() + L"\\a\\named"));
    // An existing key keeps its values.
    PutA(key_.Handle(), "kept", REG_SZ, "yes"s + '\0');
    EXPECT_EQ(reg_.CreateKey(), L"0");
    EXPECT_EQ(QueryA(key_.Handle(), "kept").bytes, "yes"s + '\0');
    // Refused: an existing key that cannot be opened with every access right.
    test::ScratchKey locked(HKEY_CURRENT_USER, key_.Path() + L"\\locked");
    locked.Deny(KEY_WRITE);
    RegistryWrapper inner = reg_;
    inner.KeyRoot = key_.Path();
    EXPECT_EQ(inner.CreateKey(Variant(L"locked")), L"");
}

TEST_F(RegistryWrapperTest, DeleteKey) {
    RegistryWrapper reg = reg_;
    reg.KeyRoot = key_.Path();
    ASSERT_EQ(reg.CreateKey(Variant(L"leaf")), L"0");
    ASSERT_EQ(reg.CreateKey(Variant(L"parent\\child")), L"0");
    EXPECT_EQ(reg.DeleteKey(L"leaf"), 0);
    EXPECT_FALSE(KeyPresent(HKEY_CURRENT_USER, key_.Path() + L"\\leaf"));
    EXPECT_EQ(reg.DeleteKey(L"leaf"), ERROR_FILE_NOT_FOUND);
    // A key with subkeys is refused, with the Windows code, and stays.
    std::int32_t refused = reg.DeleteKey(L"parent");
    EXPECT_NE(refused, 0);
    EXPECT_NE(refused, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(KeyPresent(HKEY_CURRENT_USER, key_.Path() + L"\\parent\\child"));
    EXPECT_EQ(reg.DeleteKey(L"parent\\child"), 0);
    EXPECT_EQ(reg.DeleteKey(L"parent"), 0);
}

TEST_F(RegistryWrapperTest, DeleteValue) {
    PutA(key_.Handle(), "gone", REG_DWORD, "\1\0\0\0"s);
    PutA(key_.Handle(), "other", REG_DWORD, "\2\0\0\0"s);
    EXPECT_EQ(reg_.DeleteValue(L"gone"), 0);
    EXPECT_EQ(QueryA(key_.Handle(), "gone").status, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(QueryA(key_.Handle(), "other").status, ERROR_SUCCESS);
    EXPECT_EQ(reg_.DeleteValue(L"gone"), ERROR_FILE_NOT_FOUND);
    RegistryWrapper missing = reg_;
    missing.Subkey += L"-missing";
    EXPECT_EQ(missing.DeleteValue(L"other"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryWrapperTest, GetTexts) {
    HKEY k = key_.Handle();
    PutA(k, "sz", REG_SZ, "abc"s + '\0');
    PutA(k, "terminator", REG_SZ, "\0"s);
    PutA(k, "nothing", REG_SZ, "");
    PutA(k, "inner", REG_SZ, "a\0b\0"s);
    std::string big = test::Pattern(4999) + '\0';
    PutA(k, "big", REG_SZ, big);
    ASSERT_EQ(QueryA(k, "big").bytes.size(), 5000u);
    EXPECT_EQ(reg_.GetRegistryValue(L"sz"), Variant(L"abc"));
    EXPECT_EQ(reg_.GetRegistryValue(L"terminator", L"dflt"), Variant(L""));
    EXPECT_EQ(reg_.GetRegistryValue(L"nothing", L"dflt"), Variant(L"dflt"));
    EXPECT_TRUE(reg_.GetRegistryValue(L"nothing").IsEmpty());
    EXPECT_EQ(reg_.GetRegistryValue(L"inner"), Variant(L"a\0b"s));
    EXPECT_EQ(reg_.GetRegistryValue(L"big"), Variant(test::WidePattern(4999)));
    // Value names in any letter case.
    EXPECT_EQ(reg_.GetRegistryValue(L"SZ"), Variant(L"abc"));
}

TEST_F(RegistryWrapperTest, GetExpandableTextLongerThanStored) {
    std::string longValue = test::Pattern(3000);
    ASSERT_TRUE(SetEnvironmentVariableA("ZENDREL_TEST_LONG", longValue.c_str()));
    PutA(key_.Handle(), "exp", REG_EXPAND_SZ, "<%ZENDREL_TEST_LONG%>"s + '\0');
    PutA(key_.Handle(), "plain", REG_EXPAND_SZ, "no refs"s + '\0');
    PutA(key_.Handle(), "empty", REG_EXPAND_SZ, "");
    std::wstring expected = L"<" + test::WidePattern(3000) + L">";
    EXPECT_EQ(reg_.GetRegistryValue(L"exp"), Variant(expected));
    EXPECT_EQ(reg_.GetRegistryValue(L"plain"), Variant(L"no refs"));
    EXPECT_EQ(reg_.GetRegistryValue(L"empty", std::int32_t{3}), Variant(std::int32_t{3}));
}

TEST_F(RegistryWrapperTest, GetNumbersAndBytes) {
    HKEY k = key_.Handle();
    PutA(k, "minus1", REG_DWORD, "\xFF\xFF\xFF\xFF"s);
    PutA(k, "dword", REG_DWORD, "\x78\x56\x34\x12"s);
    PutA(k, "qword", REG_QWORD, "\1\0\0\0\0\0\0\0"s);
    PutA(k, "bin", REG_BINARY, "\x00\x0A\xFF"s);
    PutA(k, "bin0", REG_BINARY, "");
    std::string bigBin = test::Pattern(3000);
    bigBin[0] = '\0';
    PutA(k, "binbig", REG_BINARY, bigBin);
    EXPECT_EQ(reg_.GetRegistryValue(L"minus1"), Variant(std::int32_t{-1}));
    EXPECT_EQ(reg_.GetRegistryValue(L"dword"), Variant(std::int32_t{0x12345678}));
    EXPECT_EQ(reg_.GetRegistryValue(L"qword", L"dflt"), Variant(L"dflt"));
    EXPECT_TRUE(reg_.GetRegistryValue(L"qword").IsEmpty());
    EXPECT_EQ(reg_.GetRegistryValue(L"bin"), Variant(Bytes{0x00, 0x0A, 0xFF}));
    EXPECT_EQ(reg_.GetRegistryValue(L"bin0", L"dflt"), Variant(Bytes{}));
    EXPECT_EQ(reg_.GetRegistryValue(L"binbig"), Variant(Bytes(bigBin.begin(), bigBin.end())));
    // A missing value gives the default unchanged, of whatever kind.
    EXPECT_EQ(reg_.GetRegistryValue(L"missing", Bytes{9}), Variant(Bytes{9}));
    EXPECT_EQ(reg_.GetRegistryValue(L"missing", true), Variant(true));
}

TEST_F(RegistryWrapperTest, GetMultiString) {
    HKEY k = key_.Handle();
    PutA(k, "two", REG_MULTI_SZ, "abcde\0fghijk\0\0"s);
    PutA(k, "firstEmpty", REG_MULTI_SZ, "\0a\0\0"s);
    PutA(k, "none", REG_MULTI_SZ, "\0\0"s);
    EXPECT_EQ(reg_.GetRegistryValue(L"two"), Variant(L"abcde\0fghijk\0"s));
    EXPECT_EQ(reg_.GetRegistryValue(L"firstEmpty", L"dflt"), Variant(L"dflt"));
    EXPECT_EQ(reg_.GetRegistryValue(L"none", L"dflt"), Variant(L"dflt"));
    // What the settings store writes (strings joined with nulls) reads back exactly.
    for (std::wstring t : {L"a\0b"s, L"ab"s, L"one\0\0three"s, L"x\0"s}) {
        ASSERT_TRUE(reg_.SetRegistryValue(L"joined", t, 7));
        EXPECT_EQ(reg_.GetRegistryValue(L"joined"), Variant(t));
    }
}

TEST_F(RegistryWrapperTest, SetStoresTheBytes) {
    HKEY k = key_.Handle();
    EXPECT_TRUE(reg_.SetRegistryValue(L"dword", std::int32_t{1}, 4));
    test::StoredValue v = QueryA(k, "dword");
    EXPECT_EQ(v.type, DWORD{REG_DWORD});
    EXPECT_EQ(v.bytes, "\1\0\0\0"s);
    EXPECT_TRUE(reg_.SetRegistryValue(L"minus", L"-1", 4));
    EXPECT_EQ(QueryA(k, "minus").bytes, "\xFF\xFF\xFF\xFF"s);
    EXPECT_TRUE(reg_.SetRegistryValue(L"one", std::int32_t{1}, 1));
    v = QueryA(k, "one");
    EXPECT_EQ(v.type, DWORD{REG_SZ});
    EXPECT_EQ(v.bytes, "1\0"s);
    EXPECT_TRUE(reg_.SetRegistryValue(L"exp", L"%PATH%", 2));
    v = QueryA(k, "exp");
    EXPECT_EQ(v.type, DWORD{REG_EXPAND_SZ});
    EXPECT_EQ(v.bytes, "%PATH%\0"s);
    EXPECT_TRUE(reg_.SetRegistryValue(L"multi", L"a\0bc"s, 7));
    v = QueryA(k, "multi");
    EXPECT_EQ(v.type, DWORD{REG_MULTI_SZ});
    EXPECT_EQ(v.bytes, "a\0bc\0"s);
    EXPECT_TRUE(reg_.SetRegistryValue(L"bin", Bytes{0x00, 0x0A, 0xFF}, 3));
    v = QueryA(k, "bin");
    EXPECT_EQ(v.type, DWORD{REG_BINARY});
    EXPECT_EQ(v.bytes, "\x00\x0A\xFF"s);
    EXPECT_TRUE(reg_.SetRegistryValue(L"big", test::WidePattern(5000), 1));
    EXPECT_EQ(QueryA(k, "big").bytes, test::Pattern(5000) + '\0');
    // Overwriting replaces type and data.
    EXPECT_TRUE(reg_.SetRegistryValue(L"one", std::int32_t{2}, 4));
    v = QueryA(k, "one");
    EXPECT_EQ(v.type, DWORD{REG_DWORD});
    EXPECT_EQ(v.bytes, "\2\0\0\0"s);
}

TEST_F(RegistryWrapperTest, SetOtherTypeWritesNothing) {
    EXPECT_TRUE(reg_.SetRegistryValue(L"q", std::int32_t{1}, 11));
    EXPECT_TRUE(reg_.SetRegistryValue(L"n", L"x", 0));
    EXPECT_EQ(QueryA(key_.Handle(), "q").status, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(QueryA(key_.Handle(), "n").status, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryWrapperTest, SetUnconvertibleValueThrowsAndWritesNothing) {
    EXPECT_EQ(FailureNumberOfSet(reg_, L"abc", 4), kTypeMismatch);
    EXPECT_EQ(FailureNumberOfSet(reg_, L"2147483648", 4), kOverflow);
    EXPECT_EQ(FailureNumberOfSet(reg_, L"00 0A", 3), kTypeMismatch);
    EXPECT_EQ(FailureNumberOfSet(reg_, Bytes{1}, 1), kTypeMismatch);
    EXPECT_EQ(QueryA(key_.Handle(), "bad").status, ERROR_FILE_NOT_FOUND);
    // The key was closed on the way out: the wrapper goes on working.
    EXPECT_TRUE(reg_.SetRegistryValue(L"good", std::int32_t{1}, 4));
}

TEST_F(RegistryWrapperTest, SetOnMissingKeyCreatesNothing) {
    RegistryWrapper missing = reg_;
    missing.Subkey += L"\\missing";
    EXPECT_FALSE(missing.SetRegistryValue(L"v", std::int32_t{1}, 4));
    EXPECT_FALSE(KeyPresent(HKEY_CURRENT_USER, key_.Path() + L"\\missing"));
}

TEST_F(RegistryWrapperTest, SetRefusedByAccessList) {
    PutA(key_.Handle(), "v", REG_DWORD, "\7\0\0\0"s);
    key_.Deny(KEY_WRITE);
    EXPECT_FALSE(reg_.SetRegistryValue(L"v", std::int32_t{1}, 4));
    EXPECT_FALSE(reg_.SetRegistryValue(L"new", std::int32_t{1}, 4));
    EXPECT_NE(reg_.DeleteValue(L"v"), 0);
    key_.Restore();
    EXPECT_EQ(QueryA(key_.Handle(), "v").bytes, "\7\0\0\0"s);
    EXPECT_EQ(QueryA(key_.Handle(), "new").status, ERROR_FILE_NOT_FOUND);
}

TEST(RegistryWrapperTrimNull, CutsItemInPlace) {
    std::wstring item = L"abc\0def"s;
    EXPECT_EQ(RegistryWrapper::TrimNull(item), L"abc");
    EXPECT_EQ(item, L"abc");
    item = L"none";
    EXPECT_EQ(RegistryWrapper::TrimNull(item), L"none");
    EXPECT_EQ(item, L"none");
    item.clear();
    EXPECT_EQ(RegistryWrapper::TrimNull(item), L"");
    item = std::wstring(32768, L'x') + L'\0' + L'y';
    EXPECT_EQ(RegistryWrapper::TrimNull(item), std::wstring(32768, L'x'));
}

}  // namespace
}  // namespace zendrel
