// The password rules: what a save writes for each state of the password
// fields, and when a new password counts as confirmed.
#include <gtest/gtest.h>

#include "password_rules.h"

namespace zendrel {
namespace {

constexpr wchar_t kS3cretDigest[] = L"33e1b232a4e6fa0028a6670753749a17";    // "s3cret"
constexpr wchar_t kPasswordDigest[] = L"5f4dcc3b5aa765d61d8327deb882cf99";  // "password"

TEST(PasswordRules, WhatASaveWrites) {
    const std::wstring placeholder = kPasswordPlaceholder;
    struct Case {
        const char* what;
        PasswordFields fields;
        std::optional<PasswordSetting> written;
    };
    const Case cases[] = {
        {"placeholder untouched: stored password kept, hint change ignored",
         {true, placeholder, false, placeholder, false, L"new hint"},
         std::nullopt},
        {"typed password and hint are trimmed",
         {true, L"  s3cret ", true, L"  s3cret ", true, L" a hint "},
         PasswordSetting{kS3cretDigest, L"a hint"}},
        {"a typed \"password\" is a password",
         {true, placeholder, true, placeholder, true, L"h"},
         PasswordSetting{kPasswordDigest, L"h"}},
        {"protection off clears both",
         {false, placeholder, false, placeholder, false, L"h"},
         PasswordSetting{}},
        {"an empty password clears both", {true, L"", true, L"", false, L"h"}, PasswordSetting{}},
    };
    for (const Case& c : cases) EXPECT_EQ(PasswordToSave(c.fields), c.written) << c.what;
}

TEST(PasswordRules, ANewPasswordMustBeTypedIntoBothBoxes) {
    const std::wstring placeholder = kPasswordPlaceholder;
    struct Case {
        const char* what;
        PasswordFields fields;
        bool unconfirmed;
    };
    const Case cases[] = {
        {"same text typed twice", {true, L"s3cret", true, L"s3cret", true, L""}, false},
        {"different texts", {true, L"s3cret", true, L"s3cre", true, L""}, true},
        {"\"password\" typed over the placeholder in one box only",
         {true, placeholder, true, placeholder, false, L""},
         true},
        {"unchanged stored password", {true, placeholder, false, placeholder, false, L""}, false},
        {"protection off", {false, L"s3cret", true, L"", false, L""}, false},
        {"password removed", {true, L"", true, placeholder, false, L""}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NewPasswordUnconfirmed(c.fields), c.unconfirmed) << c.what;
}

TEST(PasswordRules, ASaveIsRefusedForAnUnconfirmedPasswordOrAHintTheCodePageCannotHold) {
    const std::wstring placeholder = kPasswordPlaceholder;
    auto asciiOnly = [](std::wstring_view text) {
        return text.find_first_not_of(L" abcdefghijklmnopqrstuvwxyz") == std::wstring_view::npos;
    };
    struct Case {
        const char* what;
        PasswordFields fields;
        PasswordProblem problem;
    };
    const Case cases[] = {
        {"confirmed, plain hint",
         {true, L"s3cret", true, L"s3cret", true, L" a hint "},
         PasswordProblem::None},
        {"unconfirmed comes first",
         {true, L"s3cret", true, L"", false, L"\u4e2d"},
         PasswordProblem::Unconfirmed},
        {"a new hint the code page cannot hold",
         {true, L"s3cret", true, L"s3cret", true, L"\u4e2d"},
         PasswordProblem::HintNotInCodePage},
        {"an unchanged password keeps the stored hint",
         {true, placeholder, false, placeholder, false, L"\u4e2d"},
         PasswordProblem::None},
        {"protection off stores no hint",
         {false, L"", false, L"", false, L"\u4e2d"},
         PasswordProblem::None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckPasswordSave(c.fields, +asciiOnly), c.problem) << c.what;
}

TEST(PasswordRules, AnEntryMatchesTheDigestOfItsTrimmedText) {
    EXPECT_TRUE(PasswordMatches(L" s3cret  ", kS3cretDigest));
    EXPECT_FALSE(PasswordMatches(L"S3cret", kS3cretDigest));
    EXPECT_FALSE(PasswordMatches(L"s3cret", L"33E1B232A4E6FA0028A6670753749A17"));
}

}  // namespace
}  // namespace zendrel
