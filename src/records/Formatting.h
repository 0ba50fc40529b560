#pragma once

#include <QColor>
#include <QDate>
#include <QString>
#include <QStringView>

#include <optional>

namespace kelvo {

// A colour from "#RGB", "#RRGGBB" or "#AARRGGBB" (punctuation around it ignored); nothing when
// the text has any other length.
std::optional<QColor> colorFromHex(QStringView hex);

// An amount of money as shown everywhere: "$12.50"; beyond a billion either way, the
// placeholder.
QString moneyText(double amount);

// What a figure from the server beyond all reason shows as ("—"), so it cannot wreck a layout.
// Display only: the value itself is kept.
QString unshowableFigure();
// Whether a span of time can be shown: 0 to 100,000 hours (a count from before 1970 is longer).
bool isShowableSpan(qint64 seconds);

// A running count as the status item shows it: "MM:SS" below an hour, then "HH:MM:SS" (hours
// not capped); beyond a showable span, the placeholder.
QString elapsedText(qint64 seconds);

// A span in hours and minutes: "31 h 20 m", "0 h 05 m"; beyond a showable span, the placeholder.
QString hoursText(qint64 seconds);

// Which day `date` was, seen from `today`: nothing for today, "Yesterday", else "Mon 30 Nov"
// (with the year when it is another).
QString dayCaption(QDate date, QDate today);

// User-perceived characters (grapheme clusters), not UTF-16 units.
qsizetype perceivedLength(const QString& text);

} // namespace kelvo
