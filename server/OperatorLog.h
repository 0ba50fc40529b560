#pragma once

#include <QByteArray>
#include <QStringView>

namespace kelvo::server {

// Lines for whoever runs the server, on standard error. What a line quotes (an e-mail, a path, a
// database's message) may hold anything a user once sent or a file name holds: control
// characters, direction controls and the backslash are written as escapes, so quoted text can
// neither start a line of its own nor move the terminal's cursor or reorder the line.
class OperatorLog {
public:
    // "kelvo-server: ", `line` escaped, a newline; flushed at once.
    static void write(QStringView line);
    static QByteArray escaped(QStringView text);
};

} // namespace kelvo::server
