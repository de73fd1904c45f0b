#include "held_text.h"

#include <windows.h>

#include "held_store.h"

namespace zendrel {

namespace {

// A date or time of the user's format; empty when Windows cannot make it.
template <typename Format>
std::wstring Formatted(Format format, const SYSTEMTIME& moment, DWORD flags) {
    wchar_t text[128] = {};
    int length = format(LOCALE_USER_DEFAULT, flags, &moment, nullptr, text,
                        static_cast<int>(std::size(text)));
    return length > 0 ? std::wstring(text) : std::wstring();
}

}  // namespace

std::wstring HolderText(Holder holder) {
    switch (holder) {
        case Holder::Administrator:
            return L"kept by the administrator";
        case Holder::Policy:
            return L"set by Group Policy";
        case Holder::None:
            break;
    }
    return {};
}

std::wstring RecordSentence(const GuardRecord& record) {
    SYSTEMTIME moment{};
    moment.wYear = static_cast<WORD>(record.year);
    moment.wMonth = static_cast<WORD>(record.month);
    moment.wDay = static_cast<WORD>(record.day);
    moment.wHour = static_cast<WORD>(record.hour);
    moment.wMinute = static_cast<WORD>(record.minute);
    moment.wSecond = static_cast<WORD>(record.second);
    std::wstring date = Formatted(GetDateFormatW, moment, DATE_SHORTDATE);
    std::wstring time = Formatted(GetTimeFormatW, moment, 0);
    std::wstring account = record.account.empty() ? std::wstring() : AccountName(record.account);
    moment.wHour = static_cast<WORD>(record.untilHour);
    moment.wMinute = static_cast<WORD>(record.untilMinute);
    moment.wSecond = static_cast<WORD>(record.untilSecond);
    std::wstring until = record.count > 1 ? Formatted(GetTimeFormatW, moment, 0) : std::wstring();
    return RecordText(record, date, time, account, until);
}

}  // namespace zendrel
