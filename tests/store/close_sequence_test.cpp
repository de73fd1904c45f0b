#include "close_sequence.h"

#include <gtest/gtest.h>

#include <array>

namespace zendrel {
namespace {

using S = CloseState;
using E = CloseEvent;
using A = CloseAction;

constexpr std::array kEvents = {E::PasswordAsked,  E::PasswordGiven, E::CloseAsked,
                                E::SessionEndAsked, E::AnsweredYes,  E::AnsweredNo,
                                E::AnsweredCancel, E::EntryRefused,  E::Saved,
                                E::SaveFailed,     E::EndAsked,      E::Interrupted};

struct Row {
    S state;
    std::array<CloseStep, kEvents.size()> steps;  // in the order of kEvents
};

constexpr CloseStep Same(S s) {
    return {s, A::None};
}

// Every state against every event.
// clang-format off
const Row kTable[] = {
    //               PasswordAsked       PasswordGiven      CloseAsked             SessionEndAsked        AnsweredYes           AnsweredNo          AnsweredCancel       EntryRefused         Saved               SaveFailed           EndAsked            Interrupted
    {S::Open,   {{{S::Gated, A::None}, Same(S::Open),     {S::Asking, A::Ask},   {S::Asking, A::Ask},   Same(S::Open),        Same(S::Open),       Same(S::Open),       Same(S::Open),       Same(S::Open),       Same(S::Open),       {S::Ended, A::End}, Same(S::Open)}}},
    {S::Gated,  {{Same(S::Gated),      {S::Open, A::None}, {S::Gated, A::NotNow}, {S::Gated, A::NotNow}, Same(S::Gated),       Same(S::Gated),      Same(S::Gated),      Same(S::Gated),      Same(S::Gated),      Same(S::Gated),      {S::Ended, A::End}, {S::Open, A::None}}}},
    {S::Asking, {{Same(S::Asking),     Same(S::Asking),   {S::Asking, A::NotNow},{S::Asking, A::NotNow},{S::Saving, A::Save}, {S::Ended, A::End},  {S::Open, A::Stay},  {S::Open, A::Stay},  Same(S::Asking),     Same(S::Asking),     {S::Ended, A::End}, {S::Open, A::None}}}},
    {S::Saving, {{Same(S::Saving),     Same(S::Saving),   {S::Saving, A::NotNow},{S::Saving, A::NotNow},Same(S::Saving),      Same(S::Saving),     Same(S::Saving),     Same(S::Saving),     {S::Ended, A::End},  {S::Open, A::Stay},  {S::Ended, A::End}, {S::Open, A::None}}}},
    {S::Ended,  {{Same(S::Ended),      Same(S::Ended),    Same(S::Ended),        Same(S::Ended),        Same(S::Ended),       Same(S::Ended),      Same(S::Ended),      Same(S::Ended),      Same(S::Ended),      Same(S::Ended),      Same(S::Ended),      Same(S::Ended)}}},
};
// clang-format on

TEST(CloseSequence, EveryStateAndEventAsTheTableSays) {
    for (const Row& row : kTable) {
        for (std::size_t i = 0; i < kEvents.size(); ++i) {
            CloseStep step = CloseSequence::Next(row.state, kEvents[i]);
            EXPECT_EQ(step.next, row.steps[i].next) << "state " << int(row.state) << " event " << i;
            EXPECT_EQ(step.action, row.steps[i].action)
                << "state " << int(row.state) << " event " << i;
        }
    }
}

TEST(CloseSequence, NewsWaitsWhileACloseIsUnderWayAndComesWhenTheWindowStays) {
    CloseSequence close;
    EXPECT_EQ(close.ChangesArrived(1u), 1u);
    ASSERT_EQ(close.On(E::CloseAsked), A::Ask);
    EXPECT_EQ(close.ChangesArrived(1u), 0u);
    EXPECT_EQ(close.ChangesArrived(4u), 0u);
    EXPECT_EQ(close.TakeWaitingChanges(), 0u);  // still asking
    ASSERT_EQ(close.On(E::AnsweredCancel), A::Stay);
    EXPECT_EQ(close.TakeWaitingChanges(), 5u);
    EXPECT_EQ(close.TakeWaitingChanges(), 0u);
    // An end drops what waited.
    close.On(E::CloseAsked);
    close.ChangesArrived(2u);
    close.On(E::AnsweredNo);
    EXPECT_EQ(close.TakeWaitingChanges(), 0u);
}

}  // namespace
}  // namespace zendrel
