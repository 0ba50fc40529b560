#include "Formatting.h"

#include <QLocale>

#include <QTextBoundaryFinder>

#include <cmath>

namespace kelvo {

namespace {

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    if (u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    return -1;
}

// The leading hexadecimal digits as a number, after an optional 0x; 0 when there are none.
quint64 leadingHex(QStringView text) {
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X') &&
        hexValue(text[2]) >= 0) {
        text = text.mid(2);
    }
    quint64 n = 0;
    for (QChar c : text) {
        const int digit = hexValue(c);
        if (digit < 0) {
            break;
        }
        n = (n << 4) | quint64(digit);
    }
    return n;
}

QStringView trimToAlphanumerics(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && !text[begin].isLetterOrNumber()) {
        ++begin;
    }
    while (end > begin && !text[end - 1].isLetterOrNumber()) {
        --end;
    }
    return text.mid(begin, end - begin);
}

} // namespace

QString elapsedText(qint64 seconds) {
    const long long e = seconds;
    if (!isShowableSpan(e)) {
        return unshowableFigure();
    }
    if (e < 3600) {
        return QString::asprintf("%02lld:%02lld", (e % 3600) / 60, e % 60);
    }
    return QString::asprintf("%02lld:%02lld:%02lld", e / 3600, (e % 3600) / 60, e % 60);
}

QString hoursText(qint64 seconds) {
    if (!isShowableSpan(seconds)) {
        return unshowableFigure();
    }
    const long long minutes = seconds / 60;
    return QString::asprintf("%lld h %02lld m", minutes / 60, minutes % 60);
}

QString dayCaption(QDate date, QDate today) {
    if (date == today) {
        return {};
    }
    if (date == today.addDays(-1)) {
        return QStringLiteral("Yesterday");
    }
    return QLocale::c().toString(date, date.year() == today.year() ? QStringLiteral("ddd d MMM")
                                                                   : QStringLiteral("ddd d MMM yyyy"));
}

std::optional<QColor> colorFromHex(QStringView hex) {
    const QStringView trimmed = trimToAlphanumerics(hex);
    const quint64 n = leadingHex(trimmed);
    const auto part = [n](int shift) { return int((n >> shift) & 255); };
    switch (perceivedLength(trimmed.toString())) {
    case 3:
        return QColor(int((n >> 8) & 15) * 17, int((n >> 4) & 15) * 17, int(n & 15) * 17, 255);
    case 6:
        return QColor(part(16), part(8), part(0), 255);
    case 8:
        return QColor(part(16), part(8), part(0), part(24));
    default:
        return std::nullopt;
    }
}

QString moneyText(double amount) {
    if (!(std::abs(amount) <= 1e9)) { // NaN too
        return unshowableFigure();
    }
    return QString::asprintf("$%.2f", amount);
}

QString unshowableFigure() {
    return QStringLiteral("\u2014");
}

bool isShowableSpan(qint64 seconds) {
    constexpr qint64 longestSpan = 100'000LL * 3600;
    return seconds >= 0 && seconds <= longestSpan;
}

qsizetype perceivedLength(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1) {
        ++count;
    }
    return count;
}

} // namespace kelvo
