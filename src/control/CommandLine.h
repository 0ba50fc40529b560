#pragma once

#include "ControlReply.h"
#include "ControlRequest.h"
#include "StatusFormatter.h"
#include "TimeReport.h"

#include <QStringList>

#include <expected>

namespace kelvo {

// `kelvo <command> [options]`: runs one command without a display, through the running program
// when there is one, else straight against the server.
class CommandLine {
public:
    // A command line as understood.
    struct Invocation {
        enum class Kind { command, report, help, version };
        Kind kind = Kind::command;
        ControlRequest request;
        TimeReport::Dates dates;
        TimeReport::Format reportFormat = TimeReport::Format::table;
        StatusFormatter::Format format = StatusFormatter::Format::human;
        bool verbose = false;
    };

    // Whether `arguments` (the program's name first) ask for a command rather than the window:
    // the first argument is a word (not an option), --help or --version.
    static bool isCommand(const QStringList& arguments);
    // The invocation, or the usage error to print; a report's dates are counted from `today`.
    static std::expected<Invocation, QString> parse(const QStringList& arguments,
                                                    QDate today = QDate::currentDate());
    static QString helpText();
    static QString versionText();

    // Runs the command under the present QCoreApplication; the exit status.
    static int run(const QStringList& arguments);

private:
    static int runCommand(const Invocation& invocation);
    static int runWithProgram(const Invocation& invocation, const QString& socketPath);
    static int runDirect(const Invocation& invocation);
    static int runReport(const Invocation& invocation);
    static int follow(const Invocation& invocation, const QString& socketPath);
    static int startProgram(const Invocation& invocation, const QString& socketPath);
    // Prints `reply` as the command's outcome; the exit status.
    static int finish(const Invocation& invocation, const ControlReply& reply);
};

} // namespace kelvo
