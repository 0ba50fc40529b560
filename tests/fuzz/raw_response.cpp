// The "Raw response" line of an answer that did not decode. In the masked text every member
// named "token", "access_token", "refresh_token" or "authorization" (any case) has the value
// "<redacted>", whatever the JSON around it; a line too long is cut
// on a character boundary after masking and tells the whole size. An input starting with '*'
// is repeated past the longest line, so the cut is reached with short inputs.
#include "FuzzSupport.h"

#include "api/TokenRedactor.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace kelvo;

namespace {

qsizetype literalEnd(const QByteArray& text, qsizetype at) {
    for (qsizetype i = at + 1; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == '"') {
            return i + 1;
        }
    }
    return text.size();
}

qsizetype skipSpace(const QByteArray& text, qsizetype at) {
    while (at < text.size() && QByteArrayView(" \t\r\n").contains(text[at])) {
        ++at;
    }
    return at;
}

// Qt's own reading of a string literal, so the check does not share the masker's.
bool spellsToken(QByteArrayView literal) {
    if (literal.size() > 64) {
        return false;
    }
    const QJsonDocument document = QJsonDocument::fromJson("[" + literal.toByteArray() + "]");
    const QString name = document.isArray() ? document.array().at(0).toString().toLower() : QString();
    return name == u"token" || name == u"access_token" || name == u"refresh_token" || name == u"authorization";
}

void everyTokenMasked(const QByteArray& masked) {
    for (qsizetype at = 0; at < masked.size();) {
        if (masked[at] != '"') {
            ++at;
            continue;
        }
        const qsizetype end = literalEnd(masked, at);
        const qsizetype colon = skipSpace(masked, end);
        if (colon < masked.size() && masked[colon] == ':' && spellsToken(QByteArrayView(masked).sliced(at, end - at))) {
            // A member cut off or without a value (a delimiter follows) has nothing to hide.
            const qsizetype value = skipSpace(masked, colon + 1);
            fuzz::require(value == masked.size() || QByteArrayView(",}]").contains(masked[value]) ||
                              QByteArrayView(masked).sliced(value).startsWith("\"<redacted>\""),
                          "every token member's value is <redacted>");
        }
        at = end;
    }
}

void cutWhole(const QByteArray& body, const QByteArray& masked, const QString& line) {
    if (masked.size() <= TokenRedactor::longestRawText) {
        fuzz::require(line == QString::fromUtf8(masked), "a short body printed whole");
        return;
    }
    const QString tail = QStringLiteral(" \u2026 (%1 bytes)").arg(body.size());
    fuzz::require(line.endsWith(tail), "a cut body tells its size");
    const QByteArray kept = line.chopped(tail.size()).toUtf8();
    fuzz::require(masked.startsWith(kept) && kept.size() <= TokenRedactor::longestRawText &&
                      kept.size() > TokenRedactor::longestRawText - 4,
                  "cut after masking, at most one character short of the longest line");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray body = fuzz::bytes(data, size);
    if (body.startsWith('*')) {
        body = body.repeated(TokenRedactor::longestRawText / body.size() + 1);
    }
    const QString line = TokenRedactor::rawResponseText(body);
    if (!body.isValidUtf8()) {
        fuzz::require(line == QLatin1StringView("nil"), "not UTF-8: nil");
        return 0;
    }
    const QByteArray masked = TokenRedactor::redact(body);
    everyTokenMasked(masked);
    cutWhole(body, masked, line);
    return 0;
}
