#include "close_sequence.h"

#include <array>

namespace zendrel {

namespace {

using S = CloseState;
using E = CloseEvent;
using A = CloseAction;

struct Transition {
    S from;
    E event;
    S next;
    A action;
};

// Every pair not listed changes nothing.
constexpr std::array<Transition, 17> kTransitions{{
    {S::Open, E::PasswordAsked, S::Gated, A::None},
    {S::Open, E::CloseAsked, S::Asking, A::Ask},
    {S::Open, E::SessionEndAsked, S::Asking, A::Ask},
    {S::Open, E::EndAsked, S::Ended, A::End},
    {S::Gated, E::PasswordGiven, S::Open, A::None},
    {S::Gated, E::EndAsked, S::Ended, A::End},
    {S::Asking, E::AnsweredYes, S::Saving, A::Save},
    {S::Asking, E::AnsweredNo, S::Ended, A::End},
    {S::Asking, E::AnsweredCancel, S::Open, A::Stay},
    {S::Asking, E::EntryRefused, S::Open, A::Stay},
    {S::Asking, E::EndAsked, S::Ended, A::End},
    {S::Saving, E::Saved, S::Ended, A::End},
    {S::Saving, E::SaveFailed, S::Open, A::Stay},
    {S::Saving, E::EndAsked, S::Ended, A::End},
    {S::Gated, E::Interrupted, S::Open, A::None},
    {S::Asking, E::Interrupted, S::Open, A::None},
    {S::Saving, E::Interrupted, S::Open, A::None},
}};

bool IsBusy(S state) {
    return state == S::Gated || state == S::Asking || state == S::Saving;
}

}  // namespace

CloseStep CloseSequence::Next(CloseState state, CloseEvent event) {
    for (const Transition& t : kTransitions)
        if (t.from == state && t.event == event) return {t.next, t.action};
    bool closeRequest = event == E::CloseAsked || event == E::SessionEndAsked;
    return {state, closeRequest && IsBusy(state) ? A::NotNow : A::None};
}

CloseAction CloseSequence::On(CloseEvent event) {
    CloseStep step = Next(state_, event);
    state_ = step.next;
    if (state_ == S::Ended) waiting_ = 0;
    return step.action;
}

bool CloseSequence::Busy() const {
    return IsBusy(state_);
}

unsigned CloseSequence::ChangesArrived(unsigned changes) {
    if (!Busy()) return changes;
    waiting_ |= changes;
    return 0;
}

unsigned CloseSequence::TakeWaitingChanges() {
    if (state_ != S::Open) return 0;
    unsigned changes = waiting_;
    waiting_ = 0;
    return changes;
}

}  // namespace zendrel
