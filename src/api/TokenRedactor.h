#pragma once

#include <QByteArray>

namespace kelvo {

// Hides bearer tokens in JSON text that is about to be printed. The value of every member whose
// name, unescaped, is exactly "token" becomes "<redacted>", however deeply it is nested and
// whatever its type. The text is scanned, not parsed, so invalid or truncated answers are masked
// too; every other byte stays as it was received.
class TokenRedactor {
public:
    static QByteArray redact(const QByteArray& json);
};

} // namespace kelvo
