// The rules of the settings password. Needs no Windows.
//
// The password itself is never stored: "config" holds the digest text of the
// password trimmed of spaces, "hint" the trimmed hint. While a stored password
// is unchanged, both password boxes hold a placeholder instead.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings.h"

namespace zendrel {

inline constexpr wchar_t kPasswordPlaceholder[] = L"password";

// The digest text stored for a password: CMD5 of the password trimmed of spaces.
std::wstring PasswordDigest(std::wstring_view password);

// Whether an entry opens settings protected by `digest`.
bool PasswordMatches(std::wstring_view entry, std::wstring_view digest);

// The password fields of the settings window when the settings are saved.
struct PasswordFields {
    bool protect = false;  // "Protect ... with a Password" is ticked
    std::wstring password;
    bool passwordTyped = false;  // typed in since the window set the text
    std::wstring confirmation;
    bool confirmationTyped = false;
    std::wstring hint;
};

// The password box still stands for the stored password: it holds the
// placeholder and nobody typed in it (a typed "password" is a password).
bool PasswordUnchanged(const PasswordFields& fields);

// A new, non-empty password that was not typed into the confirmation box as
// well: saving it could lock the settings with a text nobody knows.
bool NewPasswordUnconfirmed(const PasswordFields& fields);

// Why a save must write none of the settings: a new password nobody
// confirmed, or a hint that "hint" cannot hold. "hint" is ANSI text, where
// other letters would be stored as "?"; `fits` tells whether a text fits the
// code page (FitsAnsi on Windows).
enum class PasswordProblem { None, Unconfirmed, HintNotInCodePage };
PasswordProblem CheckPasswordSave(const PasswordFields& fields,
                                  bool (*fits)(std::wstring_view text));

// What a save writes: nullopt keeps the stored password and hint; no
// protection or an empty password stores empty values.
std::optional<PasswordSetting> PasswordToSave(const PasswordFields& fields);

}  // namespace zendrel
