#include "reference_md5.h"

#include <array>
#include <bit>
#include <cmath>

namespace zendrel::testing {

namespace {

std::array<std::uint32_t, 64> SineTable() {
    std::array<std::uint32_t, 64> k{};
    for (int n = 0; n < 64; ++n) {
        k[n] = static_cast<std::uint32_t>(std::floor(std::fabs(std::sin(n + 1.0)) * 4294967296.0));
    }
    return k;
}

}  // namespace

std::wstring ReferenceMd5(const std::vector<std::uint8_t>& bytes) {
    static const std::array<std::uint32_t, 64> k = SineTable();
    static constexpr int kShift[4][4] = {
        {7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

    std::vector<std::uint8_t> m = bytes;
    const std::uint64_t bitLength = static_cast<std::uint64_t>(bytes.size()) * 8;
    m.push_back(0x80);
    while (m.size() % 64 != 56) m.push_back(0);
    for (int n = 0; n < 8; ++n) m.push_back(static_cast<std::uint8_t>(bitLength >> (8 * n)));

    std::uint32_t h[4] = {0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u};
    for (std::size_t block = 0; block < m.size(); block += 64) {
        std::uint32_t w[16];
        for (int j = 0; j < 16; ++j) {
            const std::uint8_t* p = &m[block + 4 * j];
            w[j] = p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
        }
        std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
        for (int step = 0; step < 64; ++step) {
            const int round = step / 16;
            std::uint32_t f;
            int g;
            if (round == 0) {
                f = (b & c) | (~b & d);
                g = step;
            } else if (round == 1) {
                f = (d & b) | (~d & c);
                g = (5 * step + 1) % 16;
            } else if (round == 2) {
                f = b ^ c ^ d;
                g = (3 * step + 5) % 16;
            } else {
                f = c ^ (b | ~d);
                g = (7 * step) % 16;
            }
            const std::uint32_t rotated =
                std::rotl(a + f + k[step] + w[g], kShift[round][step % 4]);
            a = d;
            d = c;
            c = b;
            b = b + rotated;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
    }

    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring hex;
    for (std::uint32_t word : h) {
        for (int n = 0; n < 4; ++n) {
            const unsigned byte = (word >> (8 * n)) & 0xff;
            hex += kDigits[byte >> 4];
            hex += kDigits[byte & 15];
        }
    }
    return hex;
}

std::vector<std::uint8_t> LowBytes(std::wstring_view text) {
    std::vector<std::uint8_t> bytes;
    for (wchar_t unit : text) bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    return bytes;
}

}  // namespace zendrel::testing
