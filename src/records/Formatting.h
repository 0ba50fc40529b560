#pragma once

#include <QColor>
#include <QString>
#include <QStringView>

#include <optional>

namespace kelvo {

// A colour from "#RGB", "#RRGGBB" or "#AARRGGBB" (punctuation around it ignored); nothing when
// the text has any other length.
std::optional<QColor> colorFromHex(QStringView hex);

// An amount of money as shown everywhere: "$12.50".
QString moneyText(double amount);

// User-perceived characters (grapheme clusters), not UTF-16 units.
qsizetype perceivedLength(const QString& text);

} // namespace kelvo
