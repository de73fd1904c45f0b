// The test-side message box answerer reads what the settings tests assert on;
// these check it against boxes whose contents are known.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "message_boxes.h"

namespace zendrel::test {
namespace {

TEST(MessageBoxAnswerer, ReadsAndAnswersBoxesInOrder) {
    MessageBoxAnswerer answerer({IDNO, IDOK});
    EXPECT_EQ(MessageBoxW(nullptr, L"line one\r\nline two", L"Question",
                          MB_YESNOCANCEL | MB_ICONQUESTION),
              IDNO);
    EXPECT_EQ(MessageBoxW(nullptr, L"stop", L"Stop", MB_OK | MB_ICONHAND), IDOK);
    ASSERT_EQ(answerer.Seen().size(), 2u);
    const BoxInfo& q = answerer.Seen()[0];
    EXPECT_EQ(q.title, L"Question");
    EXPECT_EQ(q.text, L"line one\r\nline two");
    EXPECT_EQ(q.icon, 32);
    EXPECT_EQ(q.buttons, (std::vector<int>{IDYES, IDNO, IDCANCEL}));
    EXPECT_EQ(answerer.Seen()[1].icon, 16);
}

// A box beyond the script fails the test, and so does a scripted box that
// never came; the box is answered all the same.
TEST(MessageBoxAnswerer, FailsOnABoxItDidNotExpectAndOnOneThatDidNotCome) {
    EXPECT_NONFATAL_FAILURE(
        {
            MessageBoxAnswerer answerer({IDOK});
            MessageBoxW(nullptr, L"expected", L"Expected", MB_OK);
            EXPECT_EQ(MessageBoxW(nullptr, L"plain", L"Plain", MB_OK | MB_ICONASTERISK), IDOK);
        },
        "an unexpected box: \"Plain\": plain");
    EXPECT_NONFATAL_FAILURE({ MessageBoxAnswerer answerer({IDOK}); },
                            "1 boxes were expected, 0 came");
}

}  // namespace
}  // namespace zendrel::test
