#include "Console.h"

#include "records/PlainText.h"
#include "records/Secrets.h"

#include <QStringList>

#include <cstdio>
#include <unistd.h>

namespace kelvo {

namespace {
bool colourOn(int fd) {
    return !qEnvironmentVariableIsSet("NO_COLOR") && isatty(fd) == 1;
}
} // namespace

bool Console::writeOut(const QByteArray& output) {
    const QByteArray bytes = Secrets::masked(QString::fromUtf8(output)).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

void Console::tell(const QString& message, bool error) {
    if (message.isEmpty()) {
        return;
    }
    // A message may carry the server's words: each of its lines is made inert.
    QStringList lines = message.split(u'\n');
    for (QString& line : lines) {
        line = PlainText::line(line);
    }
    QByteArray text = Secrets::masked(lines.join(u'\n')).toUtf8();
    if (error) {
        text = (colourErr() ? QByteArrayLiteral("\x1b[1;31mkelvo:\x1b[0m ")
                            : QByteArrayLiteral("kelvo: ")) +
               text;
    }
    text += '\n';
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);
}

bool Console::colourOut() {
    return colourOn(STDOUT_FILENO);
}

bool Console::colourErr() {
    return colourOn(STDERR_FILENO);
}

} // namespace kelvo
