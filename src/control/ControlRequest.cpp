#include "ControlRequest.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <array>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {

using Command = ControlRequest::Command;
// Each command with the word that names it on the command line and on the wire.
const std::array<std::pair<Command, QLatin1StringView>, 8> commands{{
    {Command::status, "status"_L1},
    {Command::start, "start"_L1},
    {Command::stop, "stop"_L1},
    {Command::toggle, "toggle"_L1},
    {Command::resume, "resume"_L1},
    {Command::show, "show"_L1},
    {Command::popover, "panel"_L1},
    {Command::quit, "quit"_L1},
}};

// The members as sent, before the command name and version are judged.
struct Wire {
    qint64 version;
    QString command;
    bool follow;
    std::optional<QString> project;
    std::optional<QString> task;
    std::optional<QString> description;

    static Wire fromJson(const JsonReader& r) {
        return {r.integer("kelvo"_L1),     r.text("command"_L1),
                r.flag("follow"_L1),       r.optionalText("project"_L1),
                r.optionalText("task"_L1), r.optionalText("description"_L1)};
    }
};

} // namespace

QString ControlRequest::commandName(Command command) {
    for (const auto& [known, name] : commands) {
        if (known == command) {
            return name;
        }
    }
    return {};
}

std::optional<ControlRequest::Command> ControlRequest::commandNamed(QStringView name) {
    for (const auto& [command, known] : commands) {
        if (name == known) {
            return command;
        }
    }
    return std::nullopt;
}

QByteArray ControlRequest::toLine() const {
    QJsonObject object{
        {u"kelvo"_s, protocolVersion}, {u"command"_s, commandName(command)}, {u"follow"_s, follow}};
    const auto put = [&object](const QString& name, const std::optional<QString>& value) {
        if (value) {
            object.insert(name, *value);
        }
    };
    put(u"project"_s, project);
    put(u"task"_s, task);
    put(u"description"_s, description);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::expected<ControlRequest, QString> ControlRequest::fromLine(const QByteArray& line) {
    if (line.size() >= maxLineBytes) {
        return std::unexpected(u"message too large"_s);
    }
    auto wire = JsonReader::decode<Wire>(line);
    if (!wire) {
        return std::unexpected(u"malformed message: "_s + wire.error().description());
    }
    if (wire->version != protocolVersion) {
        return std::unexpected(u"unsupported message version %1"_s.arg(wire->version));
    }
    const auto command = commandNamed(wire->command);
    if (!command) {
        return std::unexpected(u"unknown command"_s);
    }
    return ControlRequest{*command, wire->follow, std::move(wire->project), std::move(wire->task),
                          std::move(wire->description)};
}

} // namespace kelvo
