#pragma once

#include "ExitCode.h"
#include "StatusReport.h"

#include <QByteArray>

#include <expected>

namespace kelvo {

// What a command came to: its exit status, a message for people (the command's standard error)
// and the report it prints. Between the program and `kelvo <command>` it is one line of compact
// JSON, {"kelvo": 1, "exit": 0, "message": …, "state": "running", "problem": …, "status": {…}};
// a follower receives one such line per change.
struct ControlReply {
    // The longest reply line a command reads, newline included.
    static constexpr qsizetype maxLineBytes = 1024 * 1024;

    ExitCode exit = ExitCode::done;
    QString message;
    std::optional<StatusReport> report;

    bool operator==(const ControlReply&) const = default;

    static ControlReply failure(ExitCode exit, QString message);
    static ControlReply of(StatusReport report, QString message = {});

    QByteArray toLine() const;
    static std::expected<ControlReply, QString> fromLine(const QByteArray& line);
};

} // namespace kelvo
