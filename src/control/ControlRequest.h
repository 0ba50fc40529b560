#pragma once

#include "records/JsonReader.h"

#include <QByteArray>
#include <QString>

#include <expected>
#include <optional>

namespace kelvo {

// One command from `kelvo <command>` to the running program: a line of compact JSON,
// {"kelvo": 1, "command": "start", "follow": false, "project": …, "task": …, "description": …}.
// It never carries the sign-in: the program uses its own.
struct ControlRequest {
    // `popover` is the command "panel" (`kelvo panel`).
    enum class Command { status, start, stop, toggle, resume, show, popover, quit };

    static constexpr qint64 protocolVersion = 1;
    // The longest request line the program reads, newline included.
    static constexpr qsizetype maxLineBytes = 8 * 1024;

    Command command = Command::status;
    bool follow = false;
    std::optional<QString> project;
    std::optional<QString> task;
    std::optional<QString> description;

    bool operator==(const ControlRequest&) const = default;

    static QString commandName(Command command);
    static std::optional<Command> commandNamed(QStringView name);

    QByteArray toLine() const;
    // The request in one line (without its newline), or why it is refused.
    static std::expected<ControlRequest, QString> fromLine(const QByteArray& line);
};

} // namespace kelvo
