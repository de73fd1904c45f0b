// The held settings as the window and zendrelctl put them into words: who
// holds a setting, and a record of the guard as one sentence with its date
// and time in the user's format. Windows only.
#pragma once

#include <string>

#include "held_rules.h"

namespace zendrel {

// "kept by the administrator", "set by Group Policy", or empty for nobody.
std::wstring HolderText(Holder holder);

// The record's sentence, for example "Activity logging was switched off
// outside the settings on 12/9/2026 at 1:05:12 AM; it was switched back on.".
std::wstring RecordSentence(const GuardRecord& record);

}  // namespace zendrel
