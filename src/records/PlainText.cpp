#include "PlainText.h"

namespace kelvo {

namespace {

bool isLineBreak(char32_t c) {
    return c == u'\n' || c == u'\r' || c == u'\t' || c == u'\v' || c == u'\f' || c == 0x85 ||
           c == 0x2028 || c == 0x2029;
}

bool isDirectionOverride(char32_t c) {
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

} // namespace

QString PlainText::line(const QString& text) {
    QString clean;
    clean.reserve(text.size());
    for (const QChar c : text) {
        const char32_t u = c.unicode();
        if (isLineBreak(u)) {
            clean += u' ';
        } else if (!isControl(u) && !isDirectionOverride(u)) {
            clean += c;
        }
    }
    return clean;
}

QString PlainText::markup(const QString& text) {
    return text.toHtmlEscaped().replace(u'\'', QStringLiteral("&#39;"));
}

QString PlainText::withoutBarTags(const QString& text) {
    return QString(text).replace(QStringLiteral("%{"), QStringLiteral("% {"));
}

QByteArray PlainText::json(const QByteArray& compactJson) {
    const QString text = QString::fromUtf8(compactJson);
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        const char32_t u = c.unicode();
        if (isControl(u) || isDirectionOverride(u) || u == 0x2028 || u == 0x2029) {
            // Only inside strings: the structure of compact JSON is printable ASCII.
            escaped += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
        } else {
            escaped += c;
        }
    }
    return escaped.toUtf8();
}

} // namespace kelvo
