#include "CommandLine.h"

#include "Console.h"
#include "ControlServer.h"
#include "DirectControl.h"
#include "StatusFollower.h"
#include "TimerCommands.h"
#include "api/APIClient.h"
#include "records/Clock.h"
#include "records/Diagnostics.h"
#include "settings/SettingsStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {

// How long a command waits for the program's answer. The program bounds each of its requests to
// the server; a start may take several in a row.
constexpr int replyTimeoutMs = 90'000;
constexpr int timerReplyTimeoutMs = 6 * 60'000;

struct Options {
    QCommandLineOption json{u"json"_s, u"Print the status as one JSON object."_s};
    QCommandLineOption format{u"format"_s,
                              u"Print the status as FORMAT: human, json, waybar or i3blocks."_s,
                              u"FORMAT"_s};
    QCommandLineOption from{u"from"_s, u"report: the first date."_s, u"YYYY-MM-DD"_s};
    QCommandLineOption to{u"to"_s, u"report: the last date."_s, u"YYYY-MM-DD"_s};
    QCommandLineOption follow{u"follow"_s,
                              u"Keep printing: a line per change and per second while a timer "
                              "runs, one a minute while none does."_s};
    QCommandLineOption project{u"project"_s, u"Start on the project with this name or id."_s,
                               u"NAME|ID"_s};
    QCommandLineOption task{u"task"_s, u"Start on the task with this name or id."_s, u"NAME|ID"_s};
    QCommandLineOption description{u"description"_s, u"Describe the new timer."_s, u"TEXT"_s};
    QCommandLineOption verbose{u"verbose"_s, u"Print the client's diagnostic lines on standard "
                                             "error."_s};
    QCommandLineOption hidden{u"hidden"_s, u"Start without showing the window."_s};
    QCommandLineOption help{{u"h"_s, u"help"_s}, u"Show this help."_s};
    QCommandLineOption version{{u"v"_s, u"version"_s}, u"Show the version."_s};

    void addTo(QCommandLineParser& parser) const {
        parser.addOptions(
            {json, format, from, to, follow, project, task, description, verbose, hidden, help,
             version});
    }
};

// Reads one line from `socket`, or nothing when the program went away or took too long.
std::optional<QByteArray> readLine(QLocalSocket& socket, int timeoutMs) {
    QByteArray received;
    QDeadlineTimer deadline(timeoutMs);
    while (!received.contains('\n') && received.size() < ControlReply::maxLineBytes) {
        if (socket.bytesAvailable() == 0 &&
            !socket.waitForReadyRead(int(deadline.remainingTime()))) {
            return std::nullopt;
        }
        received += socket.read(ControlReply::maxLineBytes - received.size());
    }
    const qsizetype end = received.indexOf('\n');
    if (end < 0) {
        return std::nullopt;
    }
    return received.first(end);
}

using Invocation = CommandLine::Invocation;

std::expected<Invocation, QString> parseReport(const QCommandLineParser& parser,
                                               const Options& options, Invocation invocation,
                                               QDate today) {
    for (const QCommandLineOption* option :
         {&options.follow, &options.project, &options.task, &options.description,
          &options.hidden}) {
        if (parser.isSet(*option)) {
            return std::unexpected(u"--%1 does not go with \"report\""_s.arg(option->names().last()));
        }
    }
    if (parser.isSet(options.json) && parser.isSet(options.format)) {
        return std::unexpected(u"--json and --format cannot be given together"_s);
    }
    invocation.kind = Invocation::Kind::report;
    if (parser.isSet(options.json)) {
        invocation.reportFormat = TimeReport::Format::json;
    } else if (parser.isSet(options.format)) {
        const auto format = TimeReport::formatNamed(parser.value(options.format));
        if (!format) {
            return std::unexpected(
                u"unknown format \"%1\" (table, csv, json)"_s.arg(parser.value(options.format)));
        }
        invocation.reportFormat = *format;
    }
    const auto value = [&parser](const QCommandLineOption& option) -> std::optional<QString> {
        return parser.isSet(option) ? std::optional(parser.value(option)) : std::nullopt;
    };
    const auto dates = TimeReport::datesFor(value(options.from), value(options.to), today);
    if (!dates) {
        return std::unexpected(dates.error());
    }
    invocation.dates = *dates;
    return invocation;
}

bool isTimerCommand(ControlRequest::Command command) {
    using Command = ControlRequest::Command;
    return command == Command::status || command == Command::start || command == Command::stop ||
           command == Command::toggle || command == Command::resume;
}

} // namespace

bool CommandLine::isCommand(const QStringList& arguments) {
    if (arguments.size() < 2) {
        return false;
    }
    // Any word is a command (an unknown one a usage error), and so is an option only commands
    // take; the window's options are Qt's and --hidden.
    const QString& first = arguments.at(1);
    static const QStringList commandOptions{
        u"--help"_s,   u"-h"_s,       u"--version"_s, u"-v"_s,     u"--json"_s,
        u"--format"_s, u"--follow"_s, u"--project"_s, u"--task"_s, u"--description"_s,
        u"--verbose"_s, u"--from"_s,   u"--to"_s};
    return !first.startsWith(u'-') || commandOptions.contains(first.section(u'=', 0, 0));
}

std::expected<CommandLine::Invocation, QString> CommandLine::parse(const QStringList& arguments,
                                                                  QDate today) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const Options options;
    options.addTo(parser);
    if (!parser.parse(arguments)) {
        return std::unexpected(parser.errorText());
    }
    Invocation invocation;
    const QStringList words = parser.positionalArguments();
    if (parser.isSet(options.help) || words.value(0) == u"help") {
        invocation.kind = Invocation::Kind::help;
        return invocation;
    }
    if (parser.isSet(options.version)) {
        invocation.kind = Invocation::Kind::version;
        return invocation;
    }
    if (words.isEmpty()) {
        return std::unexpected(u"no command given"_s);
    }
    invocation.verbose = parser.isSet(options.verbose);
    const auto command = ControlRequest::commandNamed(words.first());
    if (!command && words.first() != u"report") {
        return std::unexpected(u"unknown command \"%1\""_s.arg(words.first()));
    }
    if (words.size() > 1) {
        return std::unexpected(u"unexpected argument \"%1\""_s.arg(words.at(1)));
    }
    if (!command) {
        return parseReport(parser, options, std::move(invocation), today);
    }
    using Command = ControlRequest::Command;
    invocation.request.command = *command;
    const auto onlyWith = [&](const QCommandLineOption& option, bool allowed) {
        return !parser.isSet(option) || allowed;
    };
    const bool starts = *command == Command::start;
    const bool prints = isTimerCommand(*command);
    for (const auto& [option, allowed] : {std::pair{&options.project, starts},
                                          {&options.task, starts},
                                          {&options.description, starts},
                                          {&options.json, prints},
                                          {&options.format, prints},
                                          {&options.follow, *command == Command::status},
                                          {&options.from, false},
                                          {&options.to, false},
                                          {&options.hidden, false}}) {
        if (!onlyWith(*option, allowed)) {
            return std::unexpected(
                u"--%1 does not go with \"%2\""_s.arg(option->names().last(), words.first()));
        }
    }
    if (parser.isSet(options.json) && parser.isSet(options.format)) {
        return std::unexpected(u"--json and --format cannot be given together"_s);
    }
    if (parser.isSet(options.json)) {
        invocation.format = StatusFormatter::Format::json;
    } else if (parser.isSet(options.format)) {
        const auto format = StatusFormatter::formatNamed(parser.value(options.format));
        if (!format) {
            return std::unexpected(u"unknown format \"%1\" (human, json, waybar, i3blocks)"_s.arg(
                parser.value(options.format)));
        }
        invocation.format = *format;
    }
    invocation.request.follow = parser.isSet(options.follow);
    const auto value = [&parser](const QCommandLineOption& option) -> std::optional<QString> {
        return parser.isSet(option) ? std::optional(parser.value(option)) : std::nullopt;
    };
    invocation.request.project = value(options.project);
    invocation.request.task = value(options.task);
    invocation.request.description = value(options.description);
    return invocation;
}

QString CommandLine::helpText() {
    return uR"(Usage: kelvo [--hidden]
       kelvo COMMAND [OPTIONS]

Without a command, starts Kelvo or brings the running Kelvo's window forward.
  --hidden                 start without the window (the tray or panel item only)

Commands:
  status                   what runs now, and today's and this week's totals
  start                    restart the latest timer, or start one with the options below
  stop                     stop the running timer
  toggle                   stop the running timer, or restart the latest one
  resume                   start again the timer Kelvo stopped while you were away
  report                   the entries and what they add up to, by day and by project
  show                     show the window (starting Kelvo if needed)
  panel                    open or close the panel (starting Kelvo if needed)
  quit                     quit the running Kelvo

Options:
  --json                   status, start, stop, toggle, resume, report: one JSON object
  --format FORMAT          human (default), json, waybar or i3blocks
  --from YYYY-MM-DD        report: the first date (alone: up to today)
  --to YYYY-MM-DD          report: the last date (alone: from the Monday of its week);
                           with neither, this week, Monday to Sunday, in the local time zone
  --format table|csv|json  report: a table (default), CSV for a spreadsheet, or JSON
  --follow                 status: keep printing, a line per change and per second while a
                           timer runs, one a minute while none does
  --project NAME|ID        start: the project (id, whole name or a unique beginning)
  --task NAME|ID           start: the task; alone, searched in all active projects
  --description TEXT       start: what the timer is for
  --verbose                diagnostic lines on standard error
  -h, --help               this help
  -v, --version            the version

Exit status:
  0  done
  1  server or network error (the reason on standard error), or a report of more than
     10,000 entries
  2  usage error (a bad date, --from after --to), or a name that matches nothing or more
     than one
  3  not signed in, or the server refused the stored sign-in
  4  nothing to do: no timer to stop, none to restart, or one already running
  Status-bar formats (waybar, i3blocks) always print a line and exit 0.

Environment:
  KELVO_API_URL            the server (default: the hosted service)
  NO_COLOR                 when set, no colour even on a terminal
  XDG_RUNTIME_DIR          where the running Kelvo listens for commands, when that folder
                           is the user's alone (else /tmp/kelvo-UID)
)"_s;
}

QString CommandLine::versionText() {
    return u"kelvo "_s + QCoreApplication::applicationVersion();
}

int CommandLine::run(const QStringList& arguments) {
    const auto invocation = parse(arguments);
    if (!invocation) {
        Console::tell(invocation.error(), true);
        Console::tell(u"Try 'kelvo --help' for more information."_s);
        return int(ExitCode::usage);
    }
    switch (invocation->kind) {
    case Invocation::Kind::help:
        Console::writeOut(helpText().toUtf8());
        return int(ExitCode::done);
    case Invocation::Kind::version:
        Console::writeOut(versionText().toUtf8() + '\n');
        return int(ExitCode::done);
    case Invocation::Kind::command:
    case Invocation::Kind::report:
        break;
    }
    // The client's diagnostic lines never mix with a command's output.
    const bool verbose = invocation->verbose;
    Diagnostics::setSink([verbose](const QString& line) {
        if (verbose) {
            Console::tell(line);
        }
    });
    return runCommand(*invocation);
}

int CommandLine::runCommand(const Invocation& invocation) {
    if (invocation.kind == Invocation::Kind::report) {
        return runReport(invocation); // large, and not the program's business: never through it
    }
    const QString socketPath = ControlServer::defaultSocketPath();
    if (invocation.request.follow) {
        return follow(invocation, socketPath);
    }
    if (!socketPath.isEmpty()) {
        if (const int status = runWithProgram(invocation, socketPath); status >= 0) {
            return status;
        }
    }
    using Command = ControlRequest::Command;
    switch (invocation.request.command) {
    case Command::quit:
        Console::tell(u"Kelvo is not running."_s);
        return int(ExitCode::done);
    case Command::resume:
        // Only the running program knows what it stopped while the user was away.
        return finish(invocation, ControlReply::failure(
                                      ExitCode::failed,
                                      u"Kelvo is not running: there is no stopped timer to resume."_s));
    case Command::show:
    case Command::popover:
        return startProgram(invocation, socketPath);
    default:
        break;
    }
    return runDirect(invocation);
}

int CommandLine::runWithProgram(const Invocation& invocation, const QString& socketPath) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(1000)) {
        return -1;
    }
    if (!ControlServer::isOwnUser(socket.socketDescriptor())) {
        Diagnostics::print(u"Not using "_s + socketPath + u": another user's program answers there"_s);
        return -1;
    }
    socket.write(invocation.request.toLine());
    const ControlRequest::Command command = invocation.request.command;
    const bool slow = isTimerCommand(command) && command != ControlRequest::Command::status;
    const auto line = readLine(socket, slow ? timerReplyTimeoutMs : replyTimeoutMs);
    if (!line) {
        return finish(invocation,
                      ControlReply::failure(ExitCode::failed, u"Kelvo did not answer."_s));
    }
    const auto reply = ControlReply::fromLine(*line);
    if (!reply) {
        return finish(invocation, ControlReply::failure(ExitCode::failed,
                                                        u"Kelvo's answer: "_s + reply.error()));
    }
    return finish(invocation, *reply);
}

int CommandLine::runDirect(const Invocation& invocation) {
    APIClient client(APIClient::baseURLFromEnvironment(), &SettingsStore::tokenStore());
    DirectControl direct(&client, Clock::system());
    std::optional<ControlReply> reply;
    auto work = [&]() -> QCoro::Task<void> {
        reply = co_await direct.run(invocation.request);
        QCoreApplication::exit(0);
    };
    work();
    if (!reply) {
        QCoreApplication::exec();
    }
    return finish(invocation, *reply);
}

int CommandLine::runReport(const Invocation& invocation) {
    APIClient client(APIClient::baseURLFromEnvironment(), &SettingsStore::tokenStore());
    if (!client.authToken()) {
        return finish(invocation, TimerCommands::notSignedIn());
    }
    std::optional<std::expected<TimeReport::Text, ControlReply>> report;
    auto work = [&]() -> QCoro::Task<void> {
        report = co_await TimeReport::run(&client, invocation.dates, invocation.reportFormat,
                                          Clock::system()->now());
        QCoreApplication::exit(0);
    };
    work();
    if (!report) {
        QCoreApplication::exec();
    }
    if (!*report) {
        return finish(invocation, report->error());
    }
    return Console::writeOut((*report)->bytes) ? int(ExitCode::done) : int(ExitCode::failed);
}

int CommandLine::follow(const Invocation& invocation, const QString& socketPath) {
    APIClient client(APIClient::baseURLFromEnvironment(), &SettingsStore::tokenStore());
    DirectControl direct(&client, Clock::system());
    StatusFollower follower(socketPath, &direct, Clock::system(), invocation.format,
                            Console::colourOut(), &Console::writeOut);
    QObject::connect(&follower, &StatusFollower::finished, qApp, [] { QCoreApplication::exit(0); });
    follower.start();
    return QCoreApplication::exec();
}

int CommandLine::startProgram(const Invocation& invocation, const QString& socketPath) {
    const bool popover = invocation.request.command == ControlRequest::Command::popover;
    const QStringList arguments = popover ? QStringList{u"--hidden"_s} : QStringList{};
    if (!QProcess::startDetached(QCoreApplication::applicationFilePath(), arguments)) {
        Console::tell(u"Could not start Kelvo."_s, true);
        return int(ExitCode::failed);
    }
    if (!popover || socketPath.isEmpty()) {
        return int(ExitCode::done);
    }
    // The new program opens its door within moments; the popover is asked for through it.
    QDeadlineTimer deadline(15'000);
    while (!deadline.hasExpired()) {
        if (const int status = runWithProgram(invocation, socketPath); status >= 0) {
            return status;
        }
        QThread::msleep(100);
    }
    Console::tell(u"Kelvo started, but did not answer."_s, true);
    return int(ExitCode::failed);
}

int CommandLine::finish(const Invocation& invocation, const ControlReply& reply) {
    using Format = StatusFormatter::Format;
    const bool statusBar =
        invocation.format == Format::waybar || invocation.format == Format::i3blocks;
    if (statusBar && invocation.request.command == ControlRequest::Command::status) {
        // A status bar shows a line whatever happened; its class says what went wrong.
        const StatusReport report = reply.report.value_or(StatusReport::unavailable(
            reply.exit == ExitCode::signedOut ? StatusReport::State::signedOut
                                              : StatusReport::State::offline,
            reply.message.section(u'\n', 0, 0)));
        Console::writeOut(StatusFormatter::format(report, invocation.format));
        return int(ExitCode::done);
    }
    if (reply.exit != ExitCode::done) {
        Console::tell(reply.message, true);
        return int(reply.exit);
    }
    Console::tell(reply.message);
    if (reply.report) {
        Console::writeOut(
            StatusFormatter::format(*reply.report, invocation.format, Console::colourOut()));
    }
    return int(ExitCode::done);
}

} // namespace kelvo
