#include "password_rules.h"

#include "cmd5.h"
#include "text.h"

namespace zendrel {

std::wstring PasswordDigest(std::wstring_view password) {
    return CMD5().MD5(TrimSpaces(password));
}

bool PasswordMatches(std::wstring_view entry, std::wstring_view digest) {
    return PasswordDigest(entry) == digest;
}

bool PasswordUnchanged(const PasswordFields& fields) {
    return fields.password == kPasswordPlaceholder && !fields.passwordTyped;
}

bool NewPasswordUnconfirmed(const PasswordFields& fields) {
    if (!fields.protect || PasswordUnchanged(fields) || fields.password.empty()) return false;
    // The placeholder left in the confirmation box confirms nothing.
    return !fields.confirmationTyped || fields.confirmation != fields.password;
}

std::optional<PasswordSetting> PasswordToSave(const PasswordFields& fields) {
    if (!fields.protect || fields.password.empty()) return PasswordSetting{};
    if (PasswordUnchanged(fields)) return std::nullopt;
    return PasswordSetting{PasswordDigest(fields.password), TrimSpaces(fields.hint)};
}

PasswordProblem CheckPasswordSave(const PasswordFields& fields,
                                  bool (*fits)(std::wstring_view text)) {
    if (NewPasswordUnconfirmed(fields)) return PasswordProblem::Unconfirmed;
    std::optional<PasswordSetting> saved = PasswordToSave(fields);
    if (saved && !fits(saved->hint)) return PasswordProblem::HintNotInCodePage;
    return PasswordProblem::None;
}

}  // namespace zendrel
