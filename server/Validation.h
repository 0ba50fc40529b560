#pragma once

#include "HttpError.h"

#include <QString>

#include <optional>

namespace kelvo::server {

// What the server accepts in the texts and numbers users send; each check gives the 400 that
// names the member, or nothing when the value is fine. Lengths count characters (code points).
class Validation {
public:
    static constexpr double maxRate = 100'000;
    static constexpr qsizetype maxNameLength = 200;
    static constexpr qsizetype maxDescriptionLength = 2'000;
    static constexpr qsizetype maxEmailLength = 254;

    // Finite, at least 0 and at most 100,000.
    static std::optional<HttpError> rate(std::optional<double> rate, const QString& member);
    // 1 to 200 characters, at least one of them visible (a letter, digit, punctuation or
    // symbol); no control characters, no direction embeddings, overrides or isolates.
    static std::optional<HttpError> name(const QString& name, const QString& member);
    // Up to 2,000 characters; tab and newline are the only control characters.
    static std::optional<HttpError> description(const std::optional<QString>& description);
    // Exactly #RRGGBB.
    static std::optional<HttpError> colour(const std::optional<QString>& colour);
    // One @ with text on both sides, at most 254 characters, no spaces or control characters.
    static std::optional<HttpError> email(const QString& email);
    // At least 6 characters that are not all spaces, no NUL.
    static std::optional<HttpError> password(const QString& password);

    // What an e-mail is known by: composed (NFC) and case-folded, so the same address typed
    // another way is the same account. Look-alikes from other scripts stay apart.
    static QString emailKey(const QString& email);
    // The form a password is hashed in: composed (NFC), as keyboards and systems differ.
    static QString passwordForm(const QString& password);

private:
    // Whether `text` is well-formed (no lone surrogate) and its control characters are all in
    // `allowed`.
    static bool isCleanText(const QString& text, QStringView allowed);
};

} // namespace kelvo::server
