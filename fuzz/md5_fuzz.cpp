// CMD5 against OpenSSL's MD5 of the same message bytes: the low byte of each
// UTF-16 code unit. One instance digests every input, so a digest that
// depended on an earlier one would show as well.
#include <openssl/evp.h>

#include <string>

#include "cmd5.h"
#include "fuzz_input.h"

namespace {

// OpenSSL's digest of the low bytes, as 32 lower-case hexadecimal digits.
std::wstring ReferenceDigest(const std::wstring& message) {
    std::string bytes;
    bytes.reserve(message.size());
    for (wchar_t c : message) bytes += static_cast<char>(c & 0xFF);
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!EVP_Digest(bytes.data(), bytes.size(), md, &length, EVP_md5(), nullptr)) std::abort();
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kDigits[md[i] >> 4];
        hex += kDigits[md[i] & 0x0F];
    }
    return hex;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const zendrel::CMD5 md5;
    const std::wstring message = zendrel::fuzz::CodeUnits(data, size);
    const std::wstring digest = md5.MD5(message);
    FUZZ_CHECK(digest == ReferenceDigest(message));
    return 0;
}
