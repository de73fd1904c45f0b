#include "cmd5.h"

#include <cmath>
#include <new>
#include <stdexcept>

#include "failure.h"

namespace zendrel {

namespace {

constexpr const wchar_t* kSource = L"CMD5";

constexpr std::int32_t kBit31 = INT32_MIN;  // 0x80000000
constexpr std::int32_t kBit30 = 0x40000000;
constexpr std::int32_t kBits31And30 = kBit31 | kBit30;  // 0xC0000000
constexpr std::int32_t kLow30Bits = 0x3FFFFFFF;
constexpr std::int32_t kHigh31BitsButSign = 0x7FFFFFFE;

// A word written as the unsigned constant it stands for.
constexpr std::int32_t Word(std::uint32_t u) {
    return static_cast<std::int32_t>(u);
}

[[noreturn]] void RaiseOverflow() {
    throw Failure(kOverflow, kSource);
}

// Rotation amounts of the four rounds.
constexpr std::int16_t S11 = 7, S12 = 12, S13 = 17, S14 = 22;
constexpr std::int16_t S21 = 5, S22 = 9, S23 = 14, S24 = 20;
constexpr std::int16_t S31 = 4, S32 = 11, S33 = 16, S34 = 23;
constexpr std::int16_t S41 = 6, S42 = 10, S43 = 15, S44 = 21;

}  // namespace

CMD5::CMD5() {
    for (std::size_t n = 0; n < 31; ++n) {
        lPowers[n] = std::int32_t{1} << n;
        lLowMasks[n] = (n == 30) ? 0x7FFFFFFF : (std::int32_t{1} << (n + 1)) - 1;
    }
}

std::int32_t CMD5::LShift(std::int32_t lValue, std::int16_t iShiftBits) const {
    if (iShiftBits == 0) return lValue;
    if (iShiftBits == 31) return (lValue & 1) ? kBit31 : 0;
    if (iShiftBits < 0 || iShiftBits > 31) RaiseOverflow();
    // The bit that lands in bit 31 is set by OR; the product stays below 2^31.
    if (lValue & lPowers[31 - iShiftBits]) {
        return ((lValue & lLowMasks[30 - iShiftBits]) * lPowers[iShiftBits]) | kBit31;
    }
    return (lValue & lLowMasks[31 - iShiftBits]) * lPowers[iShiftBits];
}

std::int32_t CMD5::RShift(std::int32_t lValue, std::int16_t iShiftBits) const {
    if (iShiftBits == 0) return lValue;
    if (iShiftBits == 31) return (lValue & kBit31) ? 1 : 0;
    if (iShiftBits < 0 || iShiftBits > 31) RaiseOverflow();
    std::int32_t result = (lValue & kHigh31BitsButSign) / lPowers[iShiftBits];
    if (lValue & kBit31) {
        // The former sign bit, now at bit 31 - iShiftBits.
        result |= kBit30 / lPowers[iShiftBits - 1];
    }
    return result;
}

std::int32_t CMD5::RShiftSigned(std::int32_t lValue, std::int16_t iShiftBits) const {
    if (iShiftBits == 0) return lValue;
    if (iShiftBits == 31) return (lValue & kBit31) ? -1 : 0;
    if (iShiftBits < 0 || iShiftBits > 31) RaiseOverflow();
    return static_cast<std::int32_t>(
        std::floor(static_cast<double>(lValue) / static_cast<double>(lPowers[iShiftBits])));
}

std::int32_t CMD5::RotateLeft(std::int32_t lValue, std::int16_t iShiftBits) const {
    return LShift(lValue, iShiftBits) | RShift(lValue, static_cast<std::int16_t>(32 - iShiftBits));
}

std::int32_t CMD5::AddUnsigned(std::int32_t lX, std::int32_t lY) {
    const std::int32_t lX8 = lX & kBit31;
    const std::int32_t lY8 = lY & kBit31;
    const std::int32_t lX4 = lX & kBit30;
    const std::int32_t lY4 = lY & kBit30;
    // Two 30-bit values: at most 0x7FFFFFFE, never an overflow.
    const std::int32_t r = (lX & kLow30Bits) + (lY & kLow30Bits);
    if (lX4 && lY4) return r ^ kBit31 ^ lX8 ^ lY8;
    if (lX4 || lY4) {
        if (r & kBit30) return r ^ kBits31And30 ^ lX8 ^ lY8;
        return r ^ kBit30 ^ lX8 ^ lY8;
    }
    return r ^ lX8 ^ lY8;
}

std::int32_t CMD5::F(std::int32_t x, std::int32_t y, std::int32_t z) {
    return (x & y) | (~x & z);
}
std::int32_t CMD5::G(std::int32_t x, std::int32_t y, std::int32_t z) {
    return (x & z) | (y & ~z);
}
std::int32_t CMD5::H(std::int32_t x, std::int32_t y, std::int32_t z) {
    return x ^ y ^ z;
}
std::int32_t CMD5::i(std::int32_t x, std::int32_t y, std::int32_t z) {
    return y ^ (x | ~z);
}

// One step of a round, given the value of the round's auxiliary function.
void CMD5::Step(std::int32_t aux, std::int32_t& a, std::int32_t b, std::int32_t x, std::int16_t s,
                std::int32_t ac) const {
    a = AddUnsigned(a, AddUnsigned(AddUnsigned(aux, x), ac));
    a = RotateLeft(a, s);
    a = AddUnsigned(a, b);
}

void CMD5::FF(std::int32_t& a, std::int32_t b, std::int32_t c, std::int32_t d, std::int32_t x,
              std::int16_t s, std::int32_t ac) const {
    Step(F(b, c, d), a, b, x, s, ac);
}

void CMD5::GG(std::int32_t& a, std::int32_t b, std::int32_t c, std::int32_t d, std::int32_t x,
              std::int16_t s, std::int32_t ac) const {
    Step(G(b, c, d), a, b, x, s, ac);
}

void CMD5::HH(std::int32_t& a, std::int32_t b, std::int32_t c, std::int32_t d, std::int32_t x,
              std::int16_t s, std::int32_t ac) const {
    Step(H(b, c, d), a, b, x, s, ac);
}

void CMD5::II(std::int32_t& a, std::int32_t b, std::int32_t c, std::int32_t d, std::int32_t x,
              std::int16_t s, std::int32_t ac) const {
    Step(i(b, c, d), a, b, x, s, ac);
}

std::int32_t CMD5::WordCount(std::size_t lLength) {
    // The length is a signed 32-bit count, and so is lLength + 8.
    if (lLength > static_cast<std::size_t>(INT32_MAX - 8)) RaiseOverflow();
    const std::int32_t length = static_cast<std::int32_t>(lLength);
    return ((length + 8) / 64 + 1) * 16;
}

std::vector<std::int32_t> CMD5::ConvertToWordArray(std::wstring_view sMessage) const {
    const std::int32_t wordCount = WordCount(sMessage.size());
    const std::int32_t length = static_cast<std::int32_t>(sMessage.size());
    std::vector<std::int32_t> words;
    try {
        words.assign(static_cast<std::size_t>(wordCount), 0);
    } catch (const std::bad_alloc&) {
        throw Failure(kOutOfMemory, kSource);
    } catch (const std::length_error&) {
        throw Failure(kOutOfMemory, kSource);
    }
    for (std::int32_t p = 0; p < length; ++p) {
        // The code unit alone, its high bits dropped.
        const std::int32_t byte = static_cast<std::int32_t>(sMessage[p] & 0xFF);
        words[p / 4] |= LShift(byte, static_cast<std::int16_t>((p % 4) * 8));
    }
    words[length / 4] |= LShift(0x80, static_cast<std::int16_t>((length % 4) * 8));
    words[wordCount - 2] = LShift(length, 3);
    words[wordCount - 1] = RShift(length, 29);
    return words;
}

std::wstring CMD5::WordToHex(std::int32_t lValue) const {
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring hex;
    hex.reserve(8);
    for (std::int16_t q = 0; q < 4; ++q) {
        const std::int32_t byte = RShift(lValue, static_cast<std::int16_t>(q * 8)) & lLowMasks[7];
        // Two digits, a leading "0" below 0x10.
        hex += kDigits[byte / 16];
        hex += kDigits[byte % 16];
    }
    return hex;
}

std::wstring CMD5::MD5(std::wstring_view sMessage) const {
    const std::vector<std::int32_t> x = ConvertToWordArray(sMessage);

    std::int32_t a = Word(0x67452301);
    std::int32_t b = Word(0xEFCDAB89);
    std::int32_t c = Word(0x98BADCFE);
    std::int32_t d = Word(0x10325476);

    for (std::size_t k = 0; k < x.size(); k += 16) {
        const std::int32_t aa = a, bb = b, cc = c, dd = d;
        const std::int32_t* w = x.data() + k;

        FF(a, b, c, d, w[0], S11, Word(0xD76AA478));
        FF(d, a, b, c, w[1], S12, Word(0xE8C7B756));
        FF(c, d, a, b, w[2], S13, Word(0x242070DB));
        FF(b, c, d, a, w[3], S14, Word(0xC1BDCEEE));
        FF(a, b, c, d, w[4], S11, Word(0xF57C0FAF));
        FF(d, a, b, c, w[5], S12, Word(0x4787C62A));
        FF(c, d, a, b, w[6], S13, Word(0xA8304613));
        FF(b, c, d, a, w[7], S14, Word(0xFD469501));
        FF(a, b, c, d, w[8], S11, Word(0x698098D8));
        FF(d, a, b, c, w[9], S12, Word(0x8B44F7AF));
        FF(c, d, a, b, w[10], S13, Word(0xFFFF5BB1));
        FF(b, c, d, a, w[11], S14, Word(0x895CD7BE));
        FF(a, b, c, d, w[12], S11, Word(0x6B901122));
        FF(d, a, b, c, w[13], S12, Word(0xFD987193));
        FF(c, d, a, b, w[14], S13, Word(0xA679438E));
        FF(b, c, d, a, w[15], S14, Word(0x49B40821));

        GG(a, b, c, d, w[1], S21, Word(0xF61E2562));
        GG(d, a, b, c, w[6], S22, Word(0xC040B340));
        GG(c, d, a, b, w[11], S23, Word(0x265E5A51));
        GG(b, c, d, a, w[0], S24, Word(0xE9B6C7AA));
        GG(a, b, c, d, w[5], S21, Word(0xD62F105D));
        GG(d, a, b, c, w[10], S22, Word(0x02441453));
        GG(c, d, a, b, w[15], S23, Word(0xD8A1E681));
        GG(b, c, d, a, w[4], S24, Word(0xE7D3FBC8));
        GG(a, b, c, d, w[9], S21, Word(0x21E1CDE6));
        GG(d, a, b, c, w[14], S22, Word(0xC33707D6));
        GG(c, d, a, b, w[3], S23, Word(0xF4D50D87));
        GG(b, c, d, a, w[8], S24, Word(0x455A14ED));
        GG(a, b, c, d, w[13], S21, Word(0xA9E3E905));
        GG(d, a, b, c, w[2], S22, Word(0xFCEFA3F8));
        GG(c, d, a, b, w[7], S23, Word(0x676F02D9));
        GG(b, c, d, a, w[12], S24, Word(0x8D2A4C8A));

        HH(a, b, c, d, w[5], S31, Word(0xFFFA3942));
        HH(d, a, b, c, w[8], S32, Word(0x8771F681));
        HH(c, d, a, b, w[11], S33, Word(0x6D9D6122));
        HH(b, c, d, a, w[14], S34, Word(0xFDE5380C));
        HH(a, b, c, d, w[1], S31, Word(0xA4BEEA44));
        HH(d, a, b, c, w[4], S32, Word(0x4BDECFA9));
        HH(c, d, a, b, w[7], S33, Word(0xF6BB4B60));
        HH(b, c, d, a, w[10], S34, Word(0xBEBFBC70));
        HH(a, b, c, d, w[13], S31, Word(0x289B7EC6));
        HH(d, a, b, c, w[0], S32, Word(0xEAA127FA));
        HH(c, d, a, b, w[3], S33, Word(0xD4EF3085));
        HH(b, c, d, a, w[6], S34, Word(0x04881D05));
        HH(a, b, c, d, w[9], S31, Word(0xD9D4D039));
        HH(d, a, b, c, w[12], S32, Word(0xE6DB99E5));
        HH(c, d, a, b, w[15], S33, Word(0x1FA27CF8));
        HH(b, c, d, a, w[2], S34, Word(0xC4AC5665));

        II(a, b, c, d, w[0], S41, Word(0xF4292244));
        II(d, a, b, c, w[7], S42, Word(0x432AFF97));
        II(c, d, a, b, w[14], S43, Word(0xAB9423A7));
        II(b, c, d, a, w[5], S44, Word(0xFC93A039));
        II(a, b, c, d, w[12], S41, Word(0x655B59C3));
        II(d, a, b, c, w[3], S42, Word(0x8F0CCC92));
        II(c, d, a, b, w[10], S43, Word(0xFFEFF47D));
        II(b, c, d, a, w[1], S44, Word(0x85845DD1));
        II(a, b, c, d, w[8], S41, Word(0x6FA87E4F));
        II(d, a, b, c, w[15], S42, Word(0xFE2CE6E0));
        II(c, d, a, b, w[6], S43, Word(0xA3014314));
        II(b, c, d, a, w[13], S44, Word(0x4E0811A1));
        II(a, b, c, d, w[4], S41, Word(0xF7537E82));
        II(d, a, b, c, w[11], S42, Word(0xBD3AF235));
        II(c, d, a, b, w[2], S43, Word(0x2AD7D2BB));
        II(b, c, d, a, w[9], S44, Word(0xEB86D391));

        a = AddUnsigned(a, aa);
        b = AddUnsigned(b, bb);
        c = AddUnsigned(c, cc);
        d = AddUnsigned(d, dd);
    }

    std::wstring digest = WordToHex(a) + WordToHex(b) + WordToHex(c) + WordToHex(d);
    for (wchar_t& ch : digest) {
        if (ch >= L'A' && ch <= L'F') ch = static_cast<wchar_t>(ch - L'A' + L'a');
    }
    return digest;
}

}  // namespace zendrel
