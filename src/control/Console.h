#pragma once

#include <QByteArray>
#include <QString>

namespace kelvo {

// Where a command's words go: results to standard output, messages for people to standard
// error, colour only on a terminal and never with NO_COLOR set; a sign-in token never shows.
class Console {
public:
    // False once the reader of standard output has gone away.
    static bool writeOut(const QByteArray& bytes);
    // One line on standard error; `error` marks it as a failure.
    static void tell(const QString& message, bool error = false);
    static bool colourOut();
    static bool colourErr();
};

} // namespace kelvo
