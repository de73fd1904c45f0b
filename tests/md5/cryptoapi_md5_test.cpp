// CMD5 against the system's own MD5 (CryptoAPI) on random texts: the bytes
// given to CryptoAPI are the low byte of each UTF-16 code unit.
#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "cmd5.h"

namespace zendrel {
namespace {

class CryptoApiMd5 : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(
            CryptAcquireContext(&provider_, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
            << GetLastError();
    }
    static void TearDownTestSuite() {
        if (provider_) CryptReleaseContext(provider_, 0);
        provider_ = 0;
    }

    // Lower-case hexadecimal MD5 of bytes, or an empty text when a call fails.
    static std::wstring Digest(const std::vector<BYTE>& bytes) {
        HCRYPTHASH hash = 0;
        if (!CryptCreateHash(provider_, CALG_MD5, 0, 0, &hash)) return L"";
        BYTE value[16];
        DWORD size = sizeof value;
        const bool ok = (bytes.empty() ||
                         CryptHashData(hash, bytes.data(), static_cast<DWORD>(bytes.size()), 0)) &&
                        CryptGetHashParam(hash, HP_HASHVAL, value, &size, 0) && size == 16;
        CryptDestroyHash(hash);
        if (!ok) return L"";
        static constexpr wchar_t kDigits[] = L"0123456789abcdef";
        std::wstring hex;
        for (BYTE b : value) {
            hex += kDigits[b >> 4];
            hex += kDigits[b & 15];
        }
        return hex;
    }

    static HCRYPTPROV provider_;
};

HCRYPTPROV CryptoApiMd5::provider_ = 0;

TEST_F(CryptoApiMd5, KnownDigest) {
    const std::vector<BYTE> abc = {'a', 'b', 'c'};
    EXPECT_EQ(Digest(abc), L"900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(CMD5().MD5(L"abc"), Digest(abc));
}

TEST_F(CryptoApiMd5, TenThousandRandomTexts) {
    const CMD5 md5;
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int> length(0, 300);
    std::uniform_int_distribution<unsigned> unit(0, 0xFFFF);
    int above00FF = 0;
    for (int n = 0; n < 10000; ++n) {
        std::wstring text(static_cast<std::size_t>(length(random)), L'\0');
        std::vector<BYTE> bytes;
        bytes.reserve(text.size());
        for (wchar_t& ch : text) {
            ch = static_cast<wchar_t>(unit(random));
            if (ch > 0xFF) ++above00FF;
            bytes.push_back(static_cast<BYTE>(ch & 0xFF));
        }
        const std::wstring expected = Digest(bytes);
        ASSERT_EQ(expected.size(), 32u) << "CryptoAPI failed on text " << n;
        ASSERT_EQ(md5.MD5(text), expected) << "text " << n << ", length " << text.size();
    }
    EXPECT_GT(above00FF, 0);
}

}  // namespace
}  // namespace zendrel
