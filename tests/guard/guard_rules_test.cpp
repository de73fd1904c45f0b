// What the guard does with a value found in one of the add-on's places: one
// table of the cases.
#include <gtest/gtest.h>

#include "guard_rules.h"

namespace zendrel {
namespace {

StoredValue Text(const std::u16string& text, bool withNul) {
    StoredValue value{kRegSz, {}};
    for (char16_t c : text) {
        value.bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        value.bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    if (withNul) value.bytes.insert(value.bytes.end(), {0, 0});
    return value;
}

struct Row {
    const char* what;
    std::optional<StoredValue> found, wanted, lastWanted;
    bool firstSight, isSwitch;
    GuardAction expected;
};

TEST(GuardRules, WhatTheGuardDoesWithAFoundValue) {
    const StoredValue on = SwitchValue(true), off = SwitchValue(false);
    const StoredValue two{kRegDword, {2, 0, 0, 0}};
    const StoredValue textOne = Text(u"1", true);
    const StoredValue digest = Text(u"d1", true), other = Text(u"d2", true);
    const auto none = std::nullopt;
    const Row rows[] = {
        {"not held: left alone", off, none, on, false, true, GuardAction::Leave},
        {"holds the value in effect", on, on, on, false, true, GuardAction::Leave},
        {"a text without its NUL is the same text", Text(u"d1", false), digest, digest, false,
         false, GuardAction::Leave},
        {"switched off", off, on, on, false, true, GuardAction::PutBack},
        {"deleted", none, on, on, false, true, GuardAction::PutBack},
        {"another number", two, on, on, false, true, GuardAction::PutBack},
        {"a text where a number belongs", textOne, on, on, false, true, GuardAction::PutBack},
        {"seen for the first time at the guard's start", off, on, none, false, true,
         GuardAction::PutBack},
        {"password replaced", other, digest, digest, false, false, GuardAction::PutBack},
        {"password deleted", none, digest, digest, false, false, GuardAction::PutBack},
        {"a profile just loaded", off, on, none, true, true, GuardAction::Apply},
        {"a profile back as it was left, held since changed", off, on, off, true, true,
         GuardAction::Apply},
        {"a profile back changed from how it was left", off, on, on, true, true,
         GuardAction::PutBack},
        {"held copy changed, place not yet", off, on, off, false, true, GuardAction::Apply},
        {"held password changed, place not yet", digest, other, digest, false, false,
         GuardAction::Apply},
        {"held copy changed, place changed to a third value", Text(u"x", true), other, digest,
         false, false, GuardAction::PutBack},
        {"a missing switch where off is held", none, off, off, false, true, GuardAction::Apply},
    };
    for (const Row& row : rows) {
        GuardCase facts{row.found, row.wanted, row.lastWanted, row.firstSight, row.isSwitch};
        EXPECT_EQ(Decide(facts), row.expected) << row.what;
    }
}

}  // namespace
}  // namespace zendrel
