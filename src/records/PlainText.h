#pragma once

#include <QByteArray>
#include <QString>

namespace kelvo {

// Text from the server is data: before it reaches a terminal, a status bar or a notification it
// loses whatever could act on the reader (escape sequences, forged lines, markup, direction
// overrides), and its words stay.
class PlainText {
public:
    // One line: C0 and C1 control characters, DEL and the bidirectional overrides and isolates
    // removed; line breaks (and tabs) turned into spaces.
    static QString line(const QString& text);
    // `text` with &, <, >, ' and " as markup entities, for readers that take markup.
    static QString markup(const QString& text);
    // A polybar action tag cannot begin inside `text`: "%{" becomes "% {".
    static QString withoutBarTags(const QString& text);
    // Compact JSON with every character a terminal could act on escaped (Qt leaves DEL, C1,
    // the line separators and the direction overrides raw).
    static QByteArray json(const QByteArray& compactJson);
};

} // namespace kelvo
