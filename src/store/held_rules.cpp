#include "held_rules.h"

#include <array>
#include <cwchar>

#include "text.h"

namespace zendrel {

namespace {

// The stored names of what was put back, in GuardedValue's order.
constexpr std::array<std::wstring_view, 5> kWhatNames = {L"activitylogging", L"config", L"hint",
                                                         L"mode", L"activitylogloc"};

std::optional<unsigned long> Number(std::wstring_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    unsigned long n = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        n = n * 10 + static_cast<unsigned long>(c - L'0');
    }
    return n;
}

std::wstring Padded(int n, int width) {
    std::wstring text = std::to_wstring(n);
    if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), L'0');
    return text;
}

}  // namespace

std::optional<bool> PolicySwitch(std::optional<std::uint32_t> dword,
                                 std::optional<std::wstring> text) {
    if (dword) return *dword != 0;
    if (!text) return std::nullopt;
    std::optional<unsigned long> n = Number(TrimSpaces(*text), 10);
    if (!n) return std::nullopt;
    return *n != 0;
}

// what|account|found|yyyy-mm-dd hh:mm:ss|shown[|failed][|count=n|until=hh:mm:ss],
// where found is 1 or 0 for a switch and "changed" or "deleted" for a text,
// "failed" marks a place that could not be put back and count and until a
// record of several put-backs (older records have the first five fields only).
std::wstring RecordData(const GuardRecord& r) {
    bool isSwitch = r.what == GuardedValue::ActivityLogging || r.what == GuardedValue::Mode;
    std::wstring found = isSwitch ? (r.foundOn ? L"1" : L"0")
                                  : (r.foundDeleted ? L"deleted" : L"changed");
    return std::wstring(kWhatNames[static_cast<std::size_t>(r.what)]) + L"|" + r.account + L"|" +
           found + L"|" + Padded(r.year, 4) + L"-" + Padded(r.month, 2) + L"-" +
           Padded(r.day, 2) + L" " + Padded(r.hour, 2) + L":" + Padded(r.minute, 2) + L":" +
           Padded(r.second, 2) + L"|" + (r.shown ? L"1" : L"0") +
           (r.notPutBack ? L"|failed" : L"") +
           (r.count > 1 ? L"|count=" + std::to_wstring(r.count) + L"|until=" +
                              Padded(r.untilHour, 2) + L":" + Padded(r.untilMinute, 2) + L":" +
                              Padded(r.untilSecond, 2)
                        : L"");
}

namespace {

// hh:mm:ss into three numbers; false for another text.
bool ParseClock(std::wstring_view text, int* hour, int* minute, int* second) {
    if (text.size() != 8 || text[2] != L':' || text[5] != L':') return false;
    int* parts[] = {hour, minute, second};
    for (int i = 0; i < 3; ++i) {
        std::optional<unsigned long> n = Number(text.substr(i * 3, 2), 2);
        if (!n) return false;
        *parts[i] = static_cast<int>(*n);
    }
    return true;
}

// The fields after the fifth: "failed", "count=n" and "until=hh:mm:ss", each
// at most once; false for anything else.
bool ParseExtras(const std::vector<std::wstring>& fields, GuardRecord& r) {
    bool until = false;
    for (std::size_t i = 5; i < fields.size(); ++i) {
        std::wstring_view f = fields[i];
        if (f == L"failed" && !r.notPutBack) {
            r.notPutBack = true;
        } else if (f.rfind(L"count=", 0) == 0 && r.count == 1) {
            std::optional<unsigned long> n = Number(f.substr(6), 9);
            if (!n || *n < 2) return false;
            r.count = static_cast<int>(*n);
        } else if (f.rfind(L"until=", 0) == 0 && !until) {
            until = ParseClock(f.substr(6), &r.untilHour, &r.untilMinute, &r.untilSecond);
            if (!until) return false;
        } else {
            return false;
        }
    }
    return until == (r.count > 1);
}

}  // namespace

std::optional<GuardRecord> ParseRecord(std::wstring_view data) {
    std::vector<std::wstring> fields = Split(data, L'|');
    GuardRecord r;
    if (fields.size() < 5 || !ParseExtras(fields, r)) return std::nullopt;
    std::size_t what = 0;
    while (what < kWhatNames.size() && kWhatNames[what] != fields[0]) ++what;
    if (what == kWhatNames.size()) return std::nullopt;
    r.what = static_cast<GuardedValue>(what);
    r.account = fields[1];
    bool isSwitch = r.what == GuardedValue::ActivityLogging || r.what == GuardedValue::Mode;
    if (isSwitch && (fields[2] == L"1" || fields[2] == L"0"))
        r.foundOn = fields[2] == L"1";
    else if (!isSwitch && (fields[2] == L"changed" || fields[2] == L"deleted"))
        r.foundDeleted = fields[2] == L"deleted";
    else
        return std::nullopt;
    const std::wstring& at = fields[3];
    if (at.size() != 19 || at[4] != L'-' || at[7] != L'-' || at[10] != L' ' || at[13] != L':' ||
        at[16] != L':')
        return std::nullopt;
    int* parts[] = {&r.year, &r.month, &r.day, &r.hour, &r.minute, &r.second};
    const std::size_t starts[] = {0, 5, 8, 11, 14, 17};
    for (int i = 0; i < 6; ++i) {
        std::optional<unsigned long> n =
            Number(std::wstring_view(at).substr(starts[i], i == 0 ? 4 : 2), 4);
        if (!n) return std::nullopt;
        *parts[i] = static_cast<int>(*n);
    }
    if (fields[4] != L"1" && fields[4] != L"0") return std::nullopt;
    r.shown = fields[4] == L"1";
    return r;
}

std::wstring RecordName(std::uint32_t n) {
    return Padded(static_cast<int>(n % 1000000000u), 10);
}

std::optional<std::uint32_t> RecordNumber(std::wstring_view name) {
    if (name.size() != 10) return std::nullopt;
    std::optional<unsigned long> n = Number(name, 10);
    if (!n || *n > 0xFFFFFFFFul) return std::nullopt;
    return static_cast<std::uint32_t>(*n);
}

std::wstring RecordPlace(const GuardRecord& r) {
    return std::wstring(kWhatNames[static_cast<std::size_t>(r.what)]) + L"|" + r.account;
}

std::wstring RecordText(const GuardRecord& r, std::wstring_view date, std::wstring_view time,
                        std::wstring_view accountName, std::wstring_view until) {
    std::wstring when = L" outside the settings on " + std::wstring(date) + L" at " +
                        std::wstring(time) + L"; ";
    if (r.count > 1)
        when = L" " + std::to_wstring(r.count) + L" times outside the settings on " +
               std::wstring(date) + L" between " + std::wstring(time) + L" and " +
               std::wstring(until) + L"; ";
    std::wstring was = r.foundOn ? L"on" : L"off";
    std::wstring back = L"it was switched back " + std::wstring(r.foundOn ? L"off." : L"on.");
    std::wstring changed = r.foundDeleted ? L"deleted" : L"changed";
    bool isSwitch = r.what == GuardedValue::ActivityLogging || r.what == GuardedValue::Mode;
    if (!isSwitch) back = L"it was put back.";
    if (r.count > 1) back.insert(back.size() - 1, L" each time");
    if (r.notPutBack) back = L"it could not be put back.";
    switch (r.what) {
        case GuardedValue::ActivityLogging:
            return L"Activity logging was switched " + was + when + back;
        case GuardedValue::Mode:
            return L"The filter of " + std::wstring(accountName) + L" was switched " + was +
                   when + back;
        case GuardedValue::Config:
            return L"The settings password was " + changed + when + back;
        case GuardedValue::Hint:
            return L"The password hint was " + changed + when + back;
        case GuardedValue::LogPlace:
            return L"The activity log's place was " + changed + when + back;
    }
    return {};
}

}  // namespace zendrel
