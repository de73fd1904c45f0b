#include "guard_rules.h"

namespace zendrel {

namespace {

bool IsText(std::uint32_t type) {
    return type == kRegSz || type == kRegExpandSz;
}

// The bytes of a text without its trailing NUL characters.
std::vector<std::uint8_t> Trimmed(std::vector<std::uint8_t> bytes) {
    if (bytes.size() % 2) bytes.push_back(0);
    while (bytes.size() >= 2 && bytes[bytes.size() - 1] == 0 && bytes[bytes.size() - 2] == 0)
        bytes.resize(bytes.size() - 2);
    return bytes;
}

}  // namespace

StoredValue SwitchValue(bool on) {
    return {kRegDword, {static_cast<std::uint8_t>(on ? 1 : 0), 0, 0, 0}};
}

std::optional<bool> SwitchReading(const std::optional<StoredValue>& found) {
    if (!found) return false;
    if (SameValue(*found, SwitchValue(true))) return true;
    if (SameValue(*found, SwitchValue(false))) return false;
    return std::nullopt;
}

bool SameValue(const StoredValue& a, const StoredValue& b) {
    if (a.type != b.type) return false;
    if (IsText(a.type)) return Trimmed(a.bytes) == Trimmed(b.bytes);
    return a.bytes == b.bytes;
}

GuardAction Decide(const GuardCase& c) {
    if (!c.wanted) return GuardAction::Leave;
    if (c.found && SameValue(*c.found, *c.wanted)) return GuardAction::Leave;
    // A profile that just appeared holds what it held when it was last seen
    // (the held value may have changed since), or, never seen, what it held
    // before: applying the held value is no put-back. Any other value was
    // changed there, and is.
    if (c.firstSight) {
        bool asLeft = !c.lastWanted ||
                      (c.isSwitch ? SwitchReading(c.found) == SwitchReading(c.lastWanted)
                                  : c.found && SameValue(*c.found, *c.lastWanted));
        if (asLeft) return GuardAction::Apply;
    }
    // The held copy (or a policy) changed and the place still holds the value
    // held before: an administrator's save that has written the held copy
    // and not yet the add-on's place, or a policy that changed.
    if (c.lastWanted && !SameValue(*c.lastWanted, *c.wanted)) {
        bool stillOld = c.isSwitch ? SwitchReading(c.found) == SwitchReading(c.lastWanted)
                                   : c.found && SameValue(*c.found, *c.lastWanted);
        if (stillOld) return GuardAction::Apply;
    }
    // A missing switch where "off" is held: the add-on reads it as off.
    if (c.isSwitch && SwitchReading(c.found) && SwitchReading(c.found) == SwitchReading(c.wanted))
        return GuardAction::Apply;
    return GuardAction::PutBack;
}

}  // namespace zendrel
