// Held settings: the rules that need no Windows. Which copy of a setting is in
// effect, and the guard's records (their stored form and the sentence the
// window and the tool show). The places they live in are described in
// held_store.h.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings.h"

namespace zendrel {

// Who holds a setting.
enum class Holder {
    None,           // nobody: the add-on's own value is the setting
    Administrator,  // the administrator's held copy: an administrator may change it
    Policy,         // Group Policy: no program of ours changes it
};

// A setting with the holder of the value in effect.
template <typename T>
struct Effective {
    T value{};
    Holder holder = Holder::None;
};

// The value in effect: the policy's, else the held copy's, else the add-on's.
template <typename T>
Effective<T> EffectiveValue(const std::optional<T>& policy, const std::optional<T>& held,
                            T addOn) {
    if (policy) return {*policy, Holder::Policy};
    if (held) return {*held, Holder::Administrator};
    return {std::move(addOn), Holder::None};
}

// The administrator's held copy, or Group Policy's values: nullopt (or no
// entry) where nothing is held. Accounts are security identifiers ("S-1-5-21-
// ...") mapped to the filter switch ("mode") held for them.
struct HeldValues {
    std::optional<bool> activityLogging;
    std::optional<PasswordSetting> password;  // "config" and "hint", held together
    // "activitylogloc": where the add-on writes the activity log.
    std::optional<std::wstring> logPlace;
    std::map<std::wstring, bool> accounts;
    // The held copy is there and trusted (Setup makes it): a setting absent
    // from it is then still the add-on's own, but only a caller who could
    // write the held copy may change it. Never set for Group Policy's values.
    bool present = false;
};

// What holds the current account's settings at one moment, read together:
// Group Policy's values, the held copy, and the account's filter in effect.
struct Holds {
    HeldValues policy;
    HeldValues held;
    Effective<bool> mode;
};

// A policy's switch as stored: a REG_DWORD, or a REG_SZ of digits (what a
// Group Policy list writes). Any number other than 0 is on; nullopt: not a
// switch (the policy is then not in effect).
std::optional<bool> PolicySwitch(std::optional<std::uint32_t> dword,
                                 std::optional<std::wstring> text);

// What the guard put back.
enum class GuardedValue {
    ActivityLogging,  // "activitylogging" of the settings key
    Config,           // "config": the password's digest
    Hint,             // "hint"
    Mode,             // "mode" of an account
    LogPlace,         // "activitylogloc": where the add-on writes the activity log
};

// One put-back, as the guard records it.
struct GuardRecord {
    GuardedValue what = GuardedValue::ActivityLogging;
    // The account whose "mode" was put back (its security identifier); empty
    // for the settings of the computer.
    std::wstring account;
    // For a switch: what it was found at (false also when it was deleted).
    bool foundOn = false;
    // For a text ("config", "hint", "activitylogloc"): it was deleted (else
    // it was changed).
    bool foundDeleted = false;
    // When, in local time.
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool shown = false;  // the window has shown it
    // The guard could not write the held value back: the place still holds
    // what was found there.
    bool notPutBack = false;
    // How many put-backs of this place the record stands for: those within a
    // minute of the first are counted in it rather than recorded each (a
    // loop of changes makes one record a minute), the last at `until`.
    int count = 1;
    int untilHour = 0, untilMinute = 0, untilSecond = 0;
    friend bool operator==(const GuardRecord&, const GuardRecord&) = default;
};

// The stored text of a record, and the record of a stored text (nullopt for a
// text that is no record: such a value is left alone).
std::wstring RecordData(const GuardRecord& record);
std::optional<GuardRecord> ParseRecord(std::wstring_view data);

// The name of the n-th record's value: ten digits, so that names sort in the
// order the records were made.
std::wstring RecordName(std::uint32_t n);
// The number of a record's value name; nullopt for another name.
std::optional<std::uint32_t> RecordNumber(std::wstring_view name);

// The place a record is about: what, and for "mode" the account.
std::wstring RecordPlace(const GuardRecord& record);

// The sentence shown for a record, for example "Activity logging was switched
// off outside the settings on DATE at TIME; it was switched back on.", or for
// several "... switched off 340 times outside the settings on DATE between
// TIME and UNTIL; it was switched back on each time.". date, time and until
// are the record's moments as the caller formats them; accountName names
// record.account (for "mode").
std::wstring RecordText(const GuardRecord& record, std::wstring_view date, std::wstring_view time,
                        std::wstring_view accountName, std::wstring_view until = {});

}  // namespace zendrel
