// The test-side message box answerer reads what the settings tests assert on;
// these check it against boxes whose contents are known.
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
    EXPECT_EQ(MessageBoxW(nullptr, L"plain", L"Plain", MB_OK), IDOK);  // beyond the script
    ASSERT_EQ(answerer.Seen().size(), 3u);
    const BoxInfo& q = answerer.Seen()[0];
    EXPECT_EQ(q.title, L"Question");
    EXPECT_EQ(q.text, L"line one\r\nline two");
    EXPECT_EQ(q.icon, 32);
    EXPECT_EQ(q.buttons, (std::vector<int>{IDYES, IDNO, IDCANCEL}));
    EXPECT_EQ(answerer.Seen()[1].icon, 16);
    EXPECT_EQ(answerer.Seen()[2].icon, 0);
    EXPECT_EQ(answerer.Seen()[2].pressed, IDOK);
}

}  // namespace
}  // namespace zendrel::test
