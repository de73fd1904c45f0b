#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>

#include "cmd5.h"
#include "failure.h"
#include "reference_md5.h"

namespace zendrel {
namespace {

using testing::LowBytes;
using testing::ReferenceMd5;

constexpr std::int32_t Word(std::uint32_t u) {
    return static_cast<std::int32_t>(u);
}
constexpr std::uint32_t Unsigned(std::int32_t w) {
    return static_cast<std::uint32_t>(w);
}

// A text made of the given code units, one per element.
std::wstring Units(std::initializer_list<unsigned> units) {
    std::wstring text;
    for (unsigned u : units) text += static_cast<wchar_t>(u);
    return text;
}

// The failure number and source of f, or 0 when it raises nothing.
template <typename Fn>
std::int32_t FailureNumberOf(Fn f, std::wstring* source = nullptr) {
    try {
        f();
    } catch (const Failure& e) {
        if (source) *source = e.Source();
        return e.Number();
    }
    return 0;
}

// Words that exercise the sign bit, bit 30 and the low bits.
const std::int32_t kSampleWords[] = {0,
                                     1,
                                     -1,
                                     INT32_MIN,
                                     INT32_MAX,
                                     0x40000000,
                                     0x3FFFFFFF,
                                     Word(0xC0000000),
                                     0x12345678,
                                     Word(0x87654321),
                                     Word(0xDEADBEEF),
                                     0x55AA55AA};

TEST(CMD5, Rfc1321TestSuite) {
    const CMD5 md5;
    EXPECT_EQ(md5.MD5(L""), L"d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5.MD5(L"a"), L"0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(md5.MD5(L"abc"), L"900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5.MD5(L"message digest"), L"f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(md5.MD5(L"abcdefghijklmnopqrstuvwxyz"), L"c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(md5.MD5(L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              L"d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(md5.MD5(L"1234567890123456789012345678901234567890"
                      L"1234567890123456789012345678901234567890"),
              L"57edf4a22be3c955ac49da2e2107b67a");
}

TEST(CMD5, ReferenceAgreesWithRfc1321) {
    // The test-side reference must itself be right before it judges anything.
    EXPECT_EQ(ReferenceMd5({}), L"d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(ReferenceMd5(LowBytes(L"message digest")), L"f96b697d7cb7938d525a2f31aaf161d0");
}

TEST(CMD5, BlockBoundaries) {
    const CMD5 md5;
    for (std::size_t length : {55u, 56u, 63u, 64u, 119u, 120u, 183u, 184u}) {
        const std::wstring text(length, L'x');
        EXPECT_EQ(md5.MD5(text), ReferenceMd5(LowBytes(text))) << length;
    }
    EXPECT_EQ(md5.ConvertToWordArray(std::wstring(55, L'x')).size(), 16u);
    EXPECT_EQ(md5.ConvertToWordArray(std::wstring(56, L'x')).size(), 32u);
    EXPECT_EQ(md5.ConvertToWordArray(std::wstring(119, L'x')).size(), 32u);
    EXPECT_EQ(md5.ConvertToWordArray(std::wstring(120, L'x')).size(), 48u);
}

TEST(CMD5, WordArrayLayout) {
    const CMD5 md5;
    // Bytes in little-endian order, then 0x80 right after the last one.
    const auto abcde = md5.ConvertToWordArray(L"abcde");
    ASSERT_EQ(abcde.size(), 16u);
    EXPECT_EQ(abcde[0], 0x64636261);
    EXPECT_EQ(abcde[1], 0x8065);
    EXPECT_EQ(abcde[14], 40);
    EXPECT_EQ(abcde[15], 0);

    // 55 bytes: 0x80 is the top byte of word 13, the length still fits.
    const auto w55 = md5.ConvertToWordArray(std::wstring(55, L'\xFF'));
    EXPECT_EQ(w55[13], Word(0x80FFFFFF));
    EXPECT_EQ(w55[14], 55 * 8);

    // 56 bytes: 0x80 is the low byte of word 14, the length in words 30, 31.
    const auto w56 = md5.ConvertToWordArray(std::wstring(56, L'x'));
    ASSERT_EQ(w56.size(), 32u);
    EXPECT_EQ(w56[13], 0x78787878);
    EXPECT_EQ(w56[14], 0x80);
    for (std::size_t n = 15; n <= 29; ++n) EXPECT_EQ(w56[n], 0) << n;
    EXPECT_EQ(w56[30], 56 * 8);
    EXPECT_EQ(w56[31], 0);

    const auto empty = md5.ConvertToWordArray(L"");
    EXPECT_EQ(empty[0], 0x80);
    for (std::size_t n = 1; n < 16; ++n) EXPECT_EQ(empty[n], 0) << n;
}

TEST(CMD5, WordCountAndItsOverflow) {
    EXPECT_EQ(CMD5::WordCount(0), 16);
    EXPECT_EQ(CMD5::WordCount(55), 16);
    EXPECT_EQ(CMD5::WordCount(56), 32);
    EXPECT_EQ(CMD5::WordCount(183), 48);
    EXPECT_EQ(CMD5::WordCount(184), 64);
    EXPECT_EQ(CMD5::WordCount(0x7FFFFFF7), 0x20000000);
    std::wstring source;
    EXPECT_EQ(FailureNumberOf([] { CMD5::WordCount(0x7FFFFFF8); }, &source), kOverflow);
    EXPECT_EQ(source, L"CMD5");
    EXPECT_EQ(FailureNumberOf([] { CMD5::WordCount(0xFFFFFFFFu); }), kOverflow);
}

TEST(CMD5, OnlyTheLowByteOfEachCodeUnitCounts) {
    const CMD5 md5;
    EXPECT_EQ(md5.MD5(Units({0x20AC})), md5.MD5(Units({0xAC})));
    EXPECT_EQ(md5.MD5(Units({0x20AC})), ReferenceMd5({0xAC}));
    EXPECT_EQ(md5.MD5(Units({'p', 0x0430, 0xFF77, 's'})), md5.MD5(Units({'p', 0x30, 0x77, 's'})));
    // The high bits of a unit never spill into the neighbouring byte.
    EXPECT_EQ(md5.MD5(Units({0x100, 0x7F00, 0xFF00, 0x8000, 0x1FF})),
              ReferenceMd5({0, 0, 0, 0, 0xFF}));
    // A surrogate pair is two code units, two bytes.
    EXPECT_EQ(md5.MD5(Units({0xD83D, 0xDE00})), ReferenceMd5({0x3D, 0x00}));
    // Latin-1 characters hash as their single byte, not as UTF-8.
    EXPECT_EQ(md5.MD5(Units({0xE9, 0xFF})), ReferenceMd5({0xE9, 0xFF}));
    EXPECT_NE(md5.MD5(Units({0xE9})), ReferenceMd5({0xC3, 0xA9}));
}

TEST(CMD5, SpacesAreHashedNotTrimmed) {
    const CMD5 md5;
    const std::wstring plain = md5.MD5(L"abc");
    EXPECT_NE(md5.MD5(L" abc"), plain);
    EXPECT_NE(md5.MD5(L"abc "), plain);
    EXPECT_EQ(md5.MD5(L" abc "), ReferenceMd5(LowBytes(L" abc ")));
    EXPECT_EQ(md5.MD5(L" "), ReferenceMd5({0x20}));
}

TEST(CMD5, RandomTextsMatchTheReferenceInLowerCase) {
    const CMD5 reused;
    std::mt19937 random(1321);
    std::uniform_int_distribution<int> length(0, 300);
    std::uniform_int_distribution<unsigned> unit(0, 0xFFFF);
    for (int n = 0; n < 500; ++n) {
        std::wstring text(static_cast<std::size_t>(length(random)), L'\0');
        for (wchar_t& ch : text) ch = static_cast<wchar_t>(unit(random));
        const std::wstring digest = reused.MD5(text);
        ASSERT_EQ(digest, ReferenceMd5(LowBytes(text))) << "text " << n;
        ASSERT_EQ(digest, CMD5().MD5(text)) << "a used instance keeps nothing";
        ASSERT_EQ(digest.find_first_not_of(L"0123456789abcdef"), std::wstring::npos);
    }
}

TEST(CMD5, Tables) {
    const CMD5 md5;
    EXPECT_EQ(md5.LowMasks()[0], 1);
    EXPECT_EQ(md5.LowMasks()[4], 31);
    EXPECT_EQ(md5.LowMasks()[7], 255);
    EXPECT_EQ(md5.LowMasks()[30], 0x7FFFFFFF);
    EXPECT_EQ(md5.Powers()[0], 1);
    EXPECT_EQ(md5.Powers()[4], 16);
    EXPECT_EQ(md5.Powers()[30], 0x40000000);
}

TEST(CMD5, AddUnsigned) {
    EXPECT_EQ(CMD5::AddUnsigned(0x7FFFFFFF, 1), INT32_MIN);
    EXPECT_EQ(CMD5::AddUnsigned(INT32_MIN, INT32_MIN), 0);
    EXPECT_EQ(CMD5::AddUnsigned(-1, 1), 0);
    EXPECT_EQ(CMD5::AddUnsigned(0x40000000, 0x40000000), INT32_MIN);
    EXPECT_EQ(CMD5::AddUnsigned(0x3FFFFFFF, 0x40000001), INT32_MIN);
    EXPECT_EQ(CMD5::AddUnsigned(-1, -1), -2);
    for (std::int32_t x : kSampleWords) {
        for (std::int32_t y : kSampleWords) {
            EXPECT_EQ(Unsigned(CMD5::AddUnsigned(x, y)), Unsigned(x) + Unsigned(y))
                << x << "+" << y;
        }
    }
}

TEST(CMD5, ShiftsAgreeWithUnsignedShifts) {
    const CMD5 md5;
    for (std::int32_t value : kSampleWords) {
        for (std::int16_t bits = 0; bits <= 31; ++bits) {
            const std::uint32_t u = Unsigned(value);
            EXPECT_EQ(Unsigned(md5.LShift(value, bits)), u << bits) << value << "<<" << bits;
            EXPECT_EQ(Unsigned(md5.RShift(value, bits)), u >> bits) << value << ">>" << bits;
            EXPECT_EQ(md5.RShiftSigned(value, bits), value >> bits) << value << ">>" << bits;
            if (bits >= 1) {
                EXPECT_EQ(Unsigned(md5.RotateLeft(value, bits)), std::rotl(u, bits))
                    << value << "<<<" << bits;
            }
        }
    }
}

TEST(CMD5, ShiftsAtTheEnds) {
    const CMD5 md5;
    EXPECT_EQ(md5.LShift(Word(0x87654321), 0), Word(0x87654321));
    EXPECT_EQ(md5.LShift(3, 31), INT32_MIN);
    EXPECT_EQ(md5.LShift(2, 31), 0);
    EXPECT_EQ(md5.LShift(Word(0x00C00001), 8), Word(0xC0000100));
    EXPECT_EQ(md5.RShift(INT32_MIN, 31), 1);
    EXPECT_EQ(md5.RShift(INT32_MAX, 31), 0);
    EXPECT_EQ(md5.RShift(Word(0x80000001), 1), 0x40000000);
    EXPECT_EQ(md5.RShift(-1, 16), 0xFFFF);
    EXPECT_EQ(md5.RShiftSigned(-1, 31), -1);
    EXPECT_EQ(md5.RShiftSigned(INT32_MAX, 31), 0);
    EXPECT_EQ(md5.RShiftSigned(-3, 1), -2);
    EXPECT_EQ(md5.RShiftSigned(INT32_MIN, 16), -0x8000);
    EXPECT_EQ(md5.RotateLeft(Word(0x80000001), 1), 3);
    EXPECT_EQ(md5.RotateLeft(0x12345678, 31), 0x091A2B3C);
}

TEST(CMD5, ShiftCountsOutsideTheRangeOverflow) {
    const CMD5 md5;
    std::wstring source;
    EXPECT_EQ(FailureNumberOf([&] { md5.LShift(1, -1); }, &source), kOverflow);
    EXPECT_EQ(source, L"CMD5");
    EXPECT_EQ(FailureNumberOf([&] { md5.LShift(1, 32); }), kOverflow);
    EXPECT_EQ(FailureNumberOf([&] { md5.RShift(1, -1); }), kOverflow);
    EXPECT_EQ(FailureNumberOf([&] { md5.RShift(1, 32); }), kOverflow);
    EXPECT_EQ(FailureNumberOf([&] { md5.RShiftSigned(1, -1); }), kOverflow);
    EXPECT_EQ(FailureNumberOf([&] { md5.RShiftSigned(1, 32); }), kOverflow);
    EXPECT_EQ(FailureNumberOf([&] { md5.RotateLeft(1, 0); }), kOverflow);
    EXPECT_EQ(FailureNumberOf([&] { md5.RotateLeft(1, 32); }), kOverflow);
    EXPECT_EQ(FailureNumberOf([&] { md5.RotateLeft(1, -5); }), kOverflow);
}

TEST(CMD5, WordToHexIsLeastSignificantByteFirstInUpperCase) {
    const CMD5 md5;
    EXPECT_EQ(md5.WordToHex(0x67452301), L"01234567");
    EXPECT_EQ(md5.WordToHex(Word(0xEFCDAB89)), L"89ABCDEF");
    EXPECT_EQ(md5.WordToHex(0), L"00000000");
    EXPECT_EQ(md5.WordToHex(0x0A000F01), L"010F000A");
}

}  // namespace
}  // namespace zendrel
