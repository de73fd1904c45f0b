// CMD5: the MD5 digest (RFC 1321) of a text, given back as 32 lower-case
// hexadecimal characters. The settings program stores and compares the digest
// text of the settings password, never the password itself.
//
// The message bytes are the low 8 bits of each UTF-16 code unit of the text
// (one byte per code unit, no code page, no UTF-8). Every word of the
// computation is a signed 32-bit integer read as an unsigned word; the helpers
// compute unsigned results with signed operations that cannot overflow, using
// two tables filled when the instance is created. Shift and rotation counts
// are signed 16-bit integers; a count outside 0..31 raises kOverflow
// with source "CMD5".
//
// An instance keeps nothing from one digest to the next: the same text always
// gives the same digest, on a fresh instance or a used one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zendrel {

class CMD5 {
  public:
    // Fills lLowMasks and lPowers (the class's initialization).
    CMD5();

    // The digest text of sMessage: exactly 32 characters "0"-"9", "a"-"f".
    // sMessage is a sequence of UTF-16 code units, one per element (on a host
    // with a 32-bit wchar_t as well); only the low 8 bits of each count. The
    // text is hashed as it stands: nothing is trimmed.
    std::wstring MD5(std::wstring_view sMessage) const;

    // The helpers of the digest, open so that their results can be checked.

    // lValue shifted left, bits shifted out of bit 31 lost, zeros shifted in.
    std::int32_t LShift(std::int32_t lValue, std::int16_t iShiftBits) const;
    // lValue shifted right logically (zeros shifted in at bit 31).
    std::int32_t RShift(std::int32_t lValue, std::int16_t iShiftBits) const;
    // lValue shifted right arithmetically (the sign bit copied in).
    std::int32_t RShiftSigned(std::int32_t lValue, std::int16_t iShiftBits) const;
    // lValue rotated left; iShiftBits 1 to 31 (0 and 32 raise overflow).
    std::int32_t RotateLeft(std::int32_t lValue, std::int16_t iShiftBits) const;
    // (lX + lY) modulo 2^32.
    static std::int32_t AddUnsigned(std::int32_t lX, std::int32_t lY);

    // The auxiliary functions of RFC 1321.
    static std::int32_t F(std::int32_t x, std::int32_t y, std::int32_t z);
    static std::int32_t G(std::int32_t x, std::int32_t y, std::int32_t z);
    static std::int32_t H(std::int32_t x, std::int32_t y, std::int32_t z);
    static std::int32_t i(std::int32_t x, std::int32_t y, std::int32_t z);

    // One step of each round: a = b + ((a + fn(b, c, d) + x + ac) <<< s).
    void FF(std::int32_t& a, std::int32_t b, std::int32_t c, std::int32_t d, std::int32_t x,
            std::int16_t s, std::int32_t ac) const;
    void GG(std::int32_t& a, std::int32_t b, std::int32_t c, std::int32_t d, std::int32_t x,
            std::int16_t s, std::int32_t ac) const;
    void HH(std::int32_t& a, std::int32_t b, std::int32_t c, std::int32_t d, std::int32_t x,
            std::int16_t s, std::int32_t ac) const;
    void II(std::int32_t& a, std::int32_t b, std::int32_t c, std::int32_t d, std::int32_t x,
            std::int16_t s, std::int32_t ac) const;

    // The padded message as words, a multiple of 16 of them: byte p in word
    // p / 4 at bit (p % 4) * 8, then the byte 0x80, then the bit length in
    // the last two words.
    std::vector<std::int32_t> ConvertToWordArray(std::wstring_view sMessage) const;

    // The number of words for a message of lLength bytes:
    // ((lLength + 8) / 64 + 1) * 16. Overflow when lLength + 8 > 0x7FFFFFFF.
    static std::int32_t WordCount(std::size_t lLength);

    // The four bytes of lValue, least significant first, each as two
    // upper-case hexadecimal digits.
    std::wstring WordToHex(std::int32_t lValue) const;

    // lLowMasks[n] = 2^(n+1) - 1 and lPowers[n] = 2^n, n = 0 to 30.
    const std::array<std::int32_t, 31>& LowMasks() const { return lLowMasks; }
    const std::array<std::int32_t, 31>& Powers() const { return lPowers; }

  private:
    void Step(std::int32_t aux, std::int32_t& a, std::int32_t b, std::int32_t x, std::int16_t s,
              std::int32_t ac) const;
    std::array<std::int32_t, 31> lLowMasks;
    std::array<std::int32_t, 31> lPowers;
};

}  // namespace zendrel
