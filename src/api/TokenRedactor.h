#pragma once

#include <QByteArray>
#include <QString>

namespace kelvo {

// Hides bearer tokens in JSON text that is about to be printed. The value of every member whose
// name, unescaped, is "token", "access_token", "refresh_token" or "authorization" in any letter
// case becomes "<redacted>", however deeply it is nested and whatever its type. The text is scanned, not parsed, so invalid or truncated answers are masked
// too; every other byte stays as it was received.
class TokenRedactor {
public:
    static QByteArray redact(const QByteArray& json);
    // The longest body printed whole; a longer one is cut.
    static constexpr qsizetype longestRawText = 64 * 1024;
    // The body as UTF-8 text with those members and the sign-in tokens this process holds
    // masked, or "nil" when it is not valid UTF-8.
    // A long body is cut (after masking, on a character boundary) and its size told.
    static QString rawResponseText(const QByteArray& body);
};

} // namespace kelvo
