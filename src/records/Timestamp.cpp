#include "Timestamp.h"

#include <QTimeZone>

namespace kelvo::Timestamp {

namespace {

enum class Zone { LetterZOnly, LetterZOrOffset };

// Anchored left-to-right reader over the text; any deviation fails the whole parse.
class Cursor {
public:
    explicit Cursor(QStringView text) : m_text(text) {}

    bool digits(int count, int& value) {
        value = 0;
        for (int i = 0; i < count; ++i) {
            if (m_pos >= m_text.size() || !isAsciiDigit(m_text[m_pos])) {
                return false;
            }
            value = value * 10 + (m_text[m_pos++].unicode() - u'0');
        }
        return true;
    }
    bool literal(char16_t c) {
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }
    // A run of digits; returns how many were read and the first three as milliseconds.
    int fraction(int& millis) {
        int count = 0;
        millis = 0;
        while (m_pos < m_text.size() && isAsciiDigit(m_text[m_pos])) {
            if (count < 3) {
                millis = millis * 10 + (m_text[m_pos].unicode() - u'0');
            }
            ++count;
            ++m_pos;
        }
        for (int i = count; i < 3; ++i) {
            millis *= 10;
        }
        return count;
    }
    bool atEnd() const { return m_pos == m_text.size(); }

private:
    static bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

    QStringView m_text;
    qsizetype m_pos = 0;
};

// Offset east of UTC in seconds, or nothing when the zone designator is malformed.
std::optional<int> readZone(Cursor& in, Zone zone) {
    if (in.literal(u'Z')) {
        return 0;
    }
    if (zone == Zone::LetterZOnly) {
        return std::nullopt;
    }
    int sign = 0;
    if (in.literal(u'+')) {
        sign = 1;
    } else if (in.literal(u'-')) {
        sign = -1;
    } else {
        return std::nullopt;
    }
    int hours = 0;
    int minutes = 0;
    if (!in.digits(2, hours) || !in.literal(u':') || !in.digits(2, minutes) || hours > 23 ||
        minutes > 59) {
        return std::nullopt;
    }
    return sign * (hours * 3600 + minutes * 60);
}

// fractionDigits: 0 = no fraction allowed, -1 = one or more digits, n = exactly n digits.
std::optional<QDateTime> parse(QStringView text, int fractionDigits, Zone zone) {
    Cursor in(text);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millis = 0;
    if (!in.digits(4, year) || !in.literal(u'-') || !in.digits(2, month) || !in.literal(u'-') ||
        !in.digits(2, day) || !in.literal(u'T') || !in.digits(2, hour) || !in.literal(u':') ||
        !in.digits(2, minute) || !in.literal(u':') || !in.digits(2, second)) {
        return std::nullopt;
    }
    if (fractionDigits != 0) {
        if (!in.literal(u'.')) {
            return std::nullopt;
        }
        const int count = in.fraction(millis);
        if (count == 0 || (fractionDigits > 0 && count != fractionDigits)) {
            return std::nullopt;
        }
    }
    const auto offset = readZone(in, zone);
    if (!offset || !in.atEnd()) {
        return std::nullopt;
    }
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, millis);
    if (!date.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    return QDateTime(date, time, Qt::UTC).addSecs(-*offset);
}

} // namespace

std::optional<QDateTime> parseInternetDateTime(QStringView text) {
    if (auto withFraction = parse(text, -1, Zone::LetterZOrOffset)) {
        return withFraction;
    }
    return parse(text, 0, Zone::LetterZOrOffset);
}

std::optional<QDateTime> parseStartTime(QStringView text) {
    for (int digits : {3, 0, 6}) {
        if (auto instant = parse(text, digits, Zone::LetterZOnly)) {
            return instant;
        }
    }
    return std::nullopt;
}

qint64 secondsBetween(const QDateTime& from, const QDateTime& to) {
    const qint64 seconds = from.msecsTo(to) / 1000;
    return seconds > 0 ? seconds : 0;
}

} // namespace kelvo::Timestamp
