// The rules of held settings: which copy is in effect, a policy's switch, and
// the guard's records (stored form and sentence).
#include <gtest/gtest.h>

#include "held_rules.h"

namespace zendrel {
namespace {

TEST(HeldRules, PolicyWinsOverTheHeldCopyWhichWinsOverTheAddOn) {
    EXPECT_EQ(EffectiveValue<bool>(false, true, true).holder, Holder::Policy);
    EXPECT_FALSE(EffectiveValue<bool>(false, true, true).value);
    EXPECT_EQ(EffectiveValue<bool>(std::nullopt, false, true).holder, Holder::Administrator);
    EXPECT_FALSE(EffectiveValue<bool>(std::nullopt, false, true).value);
    Effective<bool> own = EffectiveValue<bool>(std::nullopt, std::nullopt, true);
    EXPECT_EQ(own.holder, Holder::None);
    EXPECT_TRUE(own.value);
}

TEST(HeldRules, APolicySwitchIsADwordOrDigits) {
    struct Case {
        std::optional<std::uint32_t> dword;
        std::optional<std::wstring> text;
        std::optional<bool> expected;
    } const cases[] = {
        {0u, std::nullopt, false}, {7u, std::nullopt, true},  {std::nullopt, L"1", true},
        {std::nullopt, L" 0 ", false}, {std::nullopt, L"on", std::nullopt},
        {std::nullopt, L"", std::nullopt}, {std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(PolicySwitch(c.dword, c.text), c.expected);
}

TEST(HeldRules, ARecordReadsBackAndOtherTextIsNoRecord) {
    GuardRecord mode{GuardedValue::Mode, L"S-1-5-21-1-2-3-1001", false, false, 2026, 12, 9, 1, 2, 3,
                     false};
    EXPECT_EQ(RecordData(mode), L"mode|S-1-5-21-1-2-3-1001|0|2026-12-09 01:02:03|0");
    GuardRecord config{GuardedValue::Config, L"", false, true, 2027, 1, 31, 23, 59, 58, true};
    GuardRecord failed = mode;
    failed.notPutBack = true;
    EXPECT_EQ(RecordData(failed), RecordData(mode) + L"|failed");
    GuardRecord counted = mode;
    counted.count = 340;
    counted.untilHour = 1, counted.untilMinute = 3, counted.untilSecond = 2;
    EXPECT_EQ(RecordData(counted), RecordData(mode) + L"|count=340|until=01:03:02");
    for (const GuardRecord& r : {mode, config, failed, counted})
        EXPECT_EQ(ParseRecord(RecordData(r)), r);
    for (const wchar_t* bad : {L"", L"mode||0|2026-12-09 01:02:03", L"other||0|2026-12-09 01:02:03|0",
                               L"config||1|2026-12-09 01:02:03|0", L"mode||0|2026-12-9 01:02:03|0",
                               L"mode||0|2026-12-09 01:02:03|2", L"mode||0|2026-12-09 01:02:03|0|x",
                               L"mode||0|2026-12-09 01:02:03|0|count=3",
                               L"mode||0|2026-12-09 01:02:03|0|count=1|until=01:03:02",
                               L"mode||0|2026-12-09 01:02:03|0|failed|failed"})
        EXPECT_EQ(ParseRecord(bad), std::nullopt) << bad;
    EXPECT_EQ(RecordName(42), L"0000000042");
    EXPECT_EQ(RecordNumber(L"0000000042"), 42u);
    EXPECT_EQ(RecordNumber(L"42"), std::nullopt);
}

TEST(HeldRules, TheSentenceOfEachRecord) {
    GuardRecord r;
    r.what = GuardedValue::ActivityLogging;
    EXPECT_EQ(RecordText(r, L"12/9/2026", L"1:02 AM", L""),
              L"Activity logging was switched off outside the settings on 12/9/2026 at 1:02 AM; "
              L"it was switched back on.");
    r.what = GuardedValue::Mode;
    r.foundOn = true;
    EXPECT_EQ(RecordText(r, L"D", L"T", L"PC\\pupil"),
              L"The filter of PC\\pupil was switched on outside the settings on D at T; it was "
              L"switched back off.");
    r.what = GuardedValue::Config;
    r.foundDeleted = true;
    EXPECT_EQ(RecordText(r, L"D", L"T", L""),
              L"The settings password was deleted outside the settings on D at T; it was put back.");
    r.what = GuardedValue::ActivityLogging;
    r.foundOn = false;
    r.count = 340;
    EXPECT_EQ(RecordText(r, L"D", L"10:02", L"", L"10:03"),
              L"Activity logging was switched off 340 times outside the settings on D between "
              L"10:02 and 10:03; it was switched back on each time.");
    r.count = 1;
    r.what = GuardedValue::Mode;
    r.foundOn = true;
    r.notPutBack = true;
    EXPECT_EQ(RecordText(r, L"D", L"T", L"PC\\pupil"),
              L"The filter of PC\\pupil was switched on outside the settings on D at T; it could "
              L"not be put back.");
}

}  // namespace
}  // namespace zendrel
