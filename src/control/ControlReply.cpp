#include "ControlReply.h"

#include "ControlRequest.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {

struct Wire {
    qint64 version;
    qint64 exit;
    std::optional<QString> message;
    std::optional<QString> state;
    std::optional<QString> problem;
    std::optional<StatusReport> status;

    static Wire fromJson(const JsonReader& r) {
        return {r.integer("kelvo"_L1),        r.integer("exit"_L1),
                r.optionalText("message"_L1), r.optionalText("state"_L1),
                r.optionalText("problem"_L1), r.optionalRecord<StatusReport>("status"_L1)};
    }
};

} // namespace

ControlReply ControlReply::failure(ExitCode exit, QString message) {
    return {exit, std::move(message), std::nullopt};
}

ControlReply ControlReply::of(StatusReport report, QString message) {
    return {ExitCode::done, std::move(message), std::move(report)};
}

QByteArray ControlReply::toLine() const {
    QJsonObject object{{u"kelvo"_s, ControlRequest::protocolVersion}, {u"exit"_s, int(exit)}};
    if (!message.isEmpty()) {
        object.insert(u"message"_s, message);
    }
    if (report) {
        object.insert(u"state"_s, StatusReport::stateName(report->state));
        if (!report->problem.isEmpty()) {
            object.insert(u"problem"_s, report->problem);
        }
        object.insert(u"status"_s, report->toJson());
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::expected<ControlReply, QString> ControlReply::fromLine(const QByteArray& line) {
    if (line.size() >= maxLineBytes) {
        return std::unexpected(u"reply too large"_s);
    }
    auto wire = JsonReader::decode<Wire>(line);
    if (!wire) {
        return std::unexpected(u"malformed reply: "_s + wire.error().description());
    }
    if (wire->version != ControlRequest::protocolVersion) {
        return std::unexpected(u"unsupported reply version %1"_s.arg(wire->version));
    }
    if (wire->exit < 0 || wire->exit > int(ExitCode::nothingToDo)) {
        return std::unexpected(u"unknown exit status %1"_s.arg(wire->exit));
    }
    ControlReply reply{ExitCode(wire->exit), wire->message.value_or(QString()), std::nullopt};
    if (wire->status) {
        const auto state = StatusReport::stateNamed(wire->state.value_or(u"idle"_s));
        if (!state) {
            return std::unexpected(u"unknown state"_s);
        }
        reply.report = std::move(*wire->status);
        reply.report->state = *state;
        reply.report->problem = wire->problem.value_or(QString());
    }
    return reply;
}

} // namespace kelvo
