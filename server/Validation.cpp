#include "Validation.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace kelvo::server {

QString Validation::emailKey(const QString& email) {
    return email.trimmed()
        .normalized(QString::NormalizationForm_C)
        .toCaseFolded()
        .normalized(QString::NormalizationForm_C);
}

QString Validation::passwordForm(const QString& password) {
    return password.normalized(QString::NormalizationForm_C);
}

namespace {
qsizetype characters(const QString& text) {
    return text.toUcs4().size();
}

// Something that shows: a name of spaces, joiners and marks alone looks empty wherever it is
// listed.
bool hasVisibleCharacter(const QString& text) {
    const QList<uint> points = text.toUcs4();
    return std::any_of(points.begin(), points.end(), [](uint c) {
        return QChar::isLetterOrNumber(c) || QChar::isPunct(c) || QChar::isSymbol(c);
    });
}

// Embeddings, overrides and isolates reorder the text after them, so a name could be shown as
// another; they have no use in a short name.
bool hasDirectionControl(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
    });
}
} // namespace

bool Validation::isCleanText(const QString& text, QStringView allowed) {
    if (!text.isValidUtf16()) {
        return false;
    }
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const bool control = u < 0x20 || (u >= 0x7F && u <= 0x9F);
        if (control && !allowed.contains(c)) {
            return false;
        }
    }
    return true;
}

std::optional<HttpError> Validation::rate(std::optional<double> rate, const QString& member) {
    if (rate && (!std::isfinite(*rate) || *rate < 0 || *rate > maxRate)) {
        return HttpError::badRequest(member + QStringLiteral(" must be between 0 and 100000"));
    }
    return std::nullopt;
}

std::optional<HttpError> Validation::name(const QString& name, const QString& member) {
    if (!hasVisibleCharacter(name)) {
        return HttpError::badRequest(member + QStringLiteral(" is required"));
    }
    if (characters(name) > maxNameLength || !isCleanText(name, {}) || hasDirectionControl(name)) {
        return HttpError::badRequest(member +
                                     QStringLiteral(" must be at most 200 characters of text"));
    }
    return std::nullopt;
}

std::optional<HttpError> Validation::description(const std::optional<QString>& description) {
    if (description &&
        (characters(*description) > maxDescriptionLength || !isCleanText(*description, u"\t\n"))) {
        return HttpError::badRequest(
            QStringLiteral("description must be at most 2000 characters of text"));
    }
    return std::nullopt;
}

std::optional<HttpError> Validation::colour(const std::optional<QString>& colour) {
    // Anchored at the very end: "$" would also match before a final newline.
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("#[0-9A-Fa-f]{6}")));
    if (colour && !pattern.match(*colour).hasMatch()) {
        return HttpError::badRequest(QStringLiteral("color must be a hex colour such as #10B981"));
    }
    return std::nullopt;
}

std::optional<HttpError> Validation::email(const QString& email) {
    const qsizetype at = email.indexOf(u'@');
    bool spaced = false;
    for (QChar c : email) {
        spaced = spaced || c.isSpace();
    }
    if (at <= 0 || at == email.size() - 1 || email.count(u'@') != 1 ||
        characters(email) > maxEmailLength || spaced || !isCleanText(email, {})) {
        return HttpError::badRequest(QStringLiteral("email must be a valid email address"));
    }
    return std::nullopt;
}

std::optional<HttpError> Validation::password(const QString& password) {
    if (characters(password) < 6 || password.trimmed().isEmpty() ||
        password.contains(QChar(u'\0')) || !password.isValidUtf16()) {
        return HttpError::badRequest(QStringLiteral("password must be at least 6 characters"));
    }
    return std::nullopt;
}

} // namespace kelvo::server
