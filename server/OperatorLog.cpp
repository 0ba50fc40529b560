#include "OperatorLog.h"

#include <QString>

#include <cstdio>

namespace kelvo::server {

void OperatorLog::write(QStringView line) {
    std::fprintf(stderr, "kelvo-server: %s\n", escaped(line).constData());
    std::fflush(stderr);
}

QByteArray OperatorLog::escaped(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool control = u < 0x20 || (u >= 0x7F && u <= 0x9F);
        const bool direction = (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
        if (u == u'\\') {
            out += QStringLiteral("\\\\");
        } else if (control) {
            out += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        } else if (direction) {
            out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out.toUtf8();
}

} // namespace kelvo::server
