// What the guard does with a value it finds in one of the add-on's places,
// given the value in effect there (Group Policy's, else the administrator's
// held copy). Portable: the guard's Windows side reads the values, asks
// Decide and writes what it says.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zendrel {

// A registry value as stored: its type and its bytes.
struct StoredValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    friend bool operator==(const StoredValue&, const StoredValue&) = default;
};

inline constexpr std::uint32_t kRegSz = 1;        // REG_SZ
inline constexpr std::uint32_t kRegExpandSz = 2;  // REG_EXPAND_SZ
inline constexpr std::uint32_t kRegDword = 4;     // REG_DWORD
// No registry type: stands for a value too long to be read (with no bytes).
inline constexpr std::uint32_t kOversized = 0xFFFFFFFF;

// A switch as the store writes it: a REG_DWORD of 1 (on) or 0 (off).
StoredValue SwitchValue(bool on);
// What the add-on reads from a switch: 1 is on; 0 and a missing value are
// off; anything else is neither (nullopt).
std::optional<bool> SwitchReading(const std::optional<StoredValue>& found);

// Whether two stored values are the same setting: the same type and bytes,
// texts compared without the terminating NULs that some writers add.
bool SameValue(const StoredValue& a, const StoredValue& b);

enum class GuardAction {
    Leave,    // nothing to do: not held, or holding the value in effect
    Apply,    // write the value in effect, and record nothing: the held value
              // changed (an administrator's change in progress), the account's
              // profile was just loaded, or the switch reads the same already
    PutBack,  // write the value in effect and record that it was changed outside
};

// The facts about one place of a held value.
struct GuardCase {
    std::optional<StoredValue> found;       // what the place holds (nullopt: missing)
    std::optional<StoredValue> wanted;      // the value in effect (nullopt: not held)
    std::optional<StoredValue> lastWanted;  // the value in effect when last looked at
    bool firstSight = false;                // the place just appeared (a profile loaded)
    bool isSwitch = false;                  // "activitylogging" or "mode"
};

GuardAction Decide(const GuardCase& c);

}  // namespace zendrel
