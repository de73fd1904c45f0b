#include <gtest/gtest.h>

#include "failure.h"
#include "variant.h"

namespace zendrel {
namespace {

int32_t FailureNumberOf(void (*f)()) {
    try {
        f();
    } catch (const Failure& e) {
        return e.Number();
    }
    return 0;
}

TEST(Variant, TextForms) {
    EXPECT_EQ(Variant().ToText(), L"");
    EXPECT_EQ(Variant(int32_t{-1}).ToText(), L"-1");
    EXPECT_EQ(Variant(true).ToText(), L"True");
    EXPECT_EQ(FailureNumberOf([] { Variant(Bytes{1}).ToText(); }), kTypeMismatch);
}

TEST(Variant, NumbersFromText) {
    EXPECT_EQ(Variant(L" 12 ").ToInt32(), 12);
    EXPECT_EQ(Variant(L"-2147483648").ToInt32(), INT32_MIN);
    EXPECT_EQ(Variant(L"2.5").ToInt32(), 2);
    EXPECT_EQ(Variant(L"3.5").ToInt32(), 4);
    EXPECT_EQ(Variant().ToInt16(), 0);
    EXPECT_EQ(Variant(true).ToInt16(), -1);
    EXPECT_EQ(FailureNumberOf([] { Variant(L"2147483648").ToInt32(); }), kOverflow);
    EXPECT_EQ(FailureNumberOf([] { Variant(int32_t{32768}).ToInt16(); }), kOverflow);
    EXPECT_EQ(FailureNumberOf([] { Variant(L"abc").ToInt32(); }), kTypeMismatch);
    EXPECT_EQ(FailureNumberOf([] { Variant(L"").ToInt32(); }), kTypeMismatch);
    EXPECT_EQ(FailureNumberOf([] { Variant(L"1x").ToInt32(); }), kTypeMismatch);
}

TEST(Failure, ReportHasTheFourLines) {
    Failure f(kPermissionDenied, L"ZendrelPanel");
    EXPECT_EQ(FailureReport(L"Error occurred trying to x: ", f),
              L"Error occurred trying to x: \r\n description = Permission denied\r\n"
              L" source = ZendrelPanel\r\n number = 70");
}

}  // namespace
}  // namespace zendrel
