// ReadRemoteRegistryValue and WriteRemoteRegistryValue. The test machine has
// no other computer to reach, so the connections go to this computer (by an
// empty name and by its own name); a name that resolves to nothing is the
// unreachable computer.
#include <gtest/gtest.h>

#include "direct_registry.h"

namespace zendrel {
namespace {

using namespace std::string_literals;
using test::PutA;
using test::QueryA;

const wchar_t kNoSuchHost[] = L"\\\\no-such-host-zendrel";

std::wstring OwnComputerName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD n = sizeof name;
    if (!GetComputerNameA(name, &n)) return L"";
    return std::wstring(name, name + n);
}

class RegistryRemoteTest : public ::testing::Test {
  protected:
    test::ScratchKey key_ = test::ScratchKey::Unique(HKEY_CURRENT_USER, L"remote");
    RegistryWrapper reg_ = test::WrapperFor(key_);
};

TEST_F(RegistryRemoteTest, UnreachableComputer) {
    PutA(key_.Handle(), "v", REG_SZ, "x"s + '\0');
    EXPECT_EQ(reg_.ReadRemoteRegistryValue(kNoSuchHost, key_.RootValue(), L"v"),
              Variant(L"Error!"));
    EXPECT_EQ(reg_.ReadRemoteRegistryValue(kNoSuchHost, key_.RootValue(), L"v", key_.Path()),
              Variant(L"Error!"));
    EXPECT_FALSE(reg_.WriteRemoteRegistryValue(kNoSuchHost, key_.RootValue(), L"w", std::int32_t{1},
                                               4, key_.Path()));
    EXPECT_EQ(QueryA(key_.Handle(), "w").status, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryRemoteTest, ReadsWithAndWithoutKeyPath) {
    PutA(key_.Handle(), "v", REG_SZ, "in scratch"s + '\0');
    test::ScratchKey other(HKEY_CURRENT_USER, key_.Path() + L"\\other");
    PutA(other.Handle(), "v", REG_SZ, "in other"s + '\0');
    std::int32_t root = key_.RootValue();
    // Without KeyPath: KeyRoot + "\" + Subkey.
    EXPECT_EQ(reg_.ReadRemoteRegistryValue(L"", root, L"v"), Variant(L"in scratch"));
    // With KeyPath, used as given; the wrapper's pieces play no part.
    EXPECT_EQ(reg_.ReadRemoteRegistryValue(L"", root, L"v", other.Path()), Variant(L"in other"));
    RegistryWrapper unpointed;
    EXPECT_EQ(unpointed.ReadRemoteRegistryValue(L"", root, L"v", other.Path()),
              Variant(L"in other"));
    EXPECT_TRUE(unpointed.ReadRemoteRegistryValue(L"", root, L"v").IsEmpty());
    // A missing value or key gives Empty.
    EXPECT_TRUE(reg_.ReadRemoteRegistryValue(L"", root, L"missing").IsEmpty());
    EXPECT_TRUE(reg_.ReadRemoteRegistryValue(L"", root, L"v", key_.Path() + L"\\no").IsEmpty());
}

TEST_F(RegistryRemoteTest, ConvertsWithoutDefault) {
    HKEY k = key_.Handle();
    PutA(k, "two", REG_MULTI_SZ, "abcde\0fghijk\0\0"s);
    PutA(k, "none", REG_MULTI_SZ, "\0\0"s);
    PutA(k, "firstEmpty", REG_MULTI_SZ, "\0a\0\0"s);
    PutA(k, "dword", REG_DWORD, "\xFF\xFF\xFF\xFF"s);
    PutA(k, "qword", REG_QWORD, "\1\0\0\0\0\0\0\0"s);
    PutA(k, "sz0", REG_SZ, "");
    PutA(k, "bin", REG_BINARY, "\x00\x0A\xFF"s);
    PutA(k, "big", REG_SZ, test::Pattern(4999) + '\0');
    std::int32_t root = key_.RootValue();
    EXPECT_EQ(reg_.ReadRemoteRegistryValue(L"", root, L"two"), Variant(L"abcde\0fghijk"s));
    EXPECT_TRUE(reg_.ReadRemoteRegistryValue(L"", root, L"none").IsEmpty());
    EXPECT_TRUE(reg_.ReadRemoteRegistryValue(L"", root, L"firstEmpty").IsEmpty());
    EXPECT_EQ(reg_.ReadRemoteRegistryValue(L"", root, L"dword"), Variant(std::int32_t{-1}));
    EXPECT_TRUE(reg_.ReadRemoteRegistryValue(L"", root, L"qword").IsEmpty());
    EXPECT_TRUE(reg_.ReadRemoteRegistryValue(L"", root, L"sz0").IsEmpty());
    EXPECT_EQ(reg_.ReadRemoteRegistryValue(L"", root, L"bin"), Variant(Bytes{0x00, 0x0A, 0xFF}));
    EXPECT_EQ(reg_.ReadRemoteRegistryValue(L"", root, L"big"), Variant(test::WidePattern(4999)));
}

TEST_F(RegistryRemoteTest, WritesAsSetRegistryValue) {
    std::int32_t root = key_.RootValue();
    EXPECT_TRUE(reg_.WriteRemoteRegistryValue(L"", root, L"d", std::int32_t{1}, 4));
    EXPECT_EQ(QueryA(key_.Handle(), "d").bytes, "\1\0\0\0"s);
    EXPECT_TRUE(reg_.WriteRemoteRegistryValue(L"", root, L"s", std::int32_t{1}, 1, key_.Path()));
    test::StoredValue v = QueryA(key_.Handle(), "s");
    EXPECT_EQ(v.type, DWORD{REG_SZ});
    EXPECT_EQ(v.bytes, "1\0"s);
    EXPECT_TRUE(reg_.WriteRemoteRegistryValue(L"", root, L"m", L"a\0b"s, 7));
    EXPECT_EQ(QueryA(key_.Handle(), "m").bytes, "a\0b\0"s);
    EXPECT_TRUE(reg_.WriteRemoteRegistryValue(L"", root, L"b", Bytes{0, 0x0A, 0xFF}, 3));
    EXPECT_EQ(QueryA(key_.Handle(), "b").bytes, "\x00\x0A\xFF"s);
    EXPECT_TRUE(reg_.WriteRemoteRegistryValue(L"", root, L"q", std::int32_t{1}, 11));
    EXPECT_EQ(QueryA(key_.Handle(), "q").status, ERROR_FILE_NOT_FOUND);
    // A key that cannot be opened: False, nothing created.
    EXPECT_FALSE(
        reg_.WriteRemoteRegistryValue(L"", root, L"d", std::int32_t{1}, 4, key_.Path() + L"\\no"));
    EXPECT_FALSE(test::KeyPresent(HKEY_CURRENT_USER, key_.Path() + L"\\no"));
    key_.Deny(KEY_WRITE);
    EXPECT_FALSE(reg_.WriteRemoteRegistryValue(L"", root, L"d", std::int32_t{2}, 4));
    key_.Restore();
    EXPECT_EQ(QueryA(key_.Handle(), "d").bytes, "\1\0\0\0"s);
}

TEST(RegistryRemoteOwnName, ConnectsToThisComputerByName) {
    std::wstring self = OwnComputerName();
    ASSERT_FALSE(self.empty());
    test::ScratchKey key = test::ScratchKey::Unique(HKEY_LOCAL_MACHINE, L"remote");
    RegistryWrapper reg = test::WrapperFor(key);
    std::int32_t root = key.RootValue();
    for (const std::wstring& name : {self, L"\\\\" + self}) {
        EXPECT_TRUE(reg.WriteRemoteRegistryValue(name, root, L"v", L"by name", 1)) << name;
        EXPECT_EQ(QueryA(key.Handle(), "v").bytes, "by name"s + '\0');
        EXPECT_EQ(reg.ReadRemoteRegistryValue(name, root, L"v", key.Path()), Variant(L"by name"));
        RegDeleteValueA(key.Handle(), "v");
    }
}

}  // namespace
}  // namespace zendrel
