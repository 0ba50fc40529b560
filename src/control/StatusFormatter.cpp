#include "StatusFormatter.h"

#include "records/Formatting.h"
#include "records/PlainText.h"
#include "state/DashboardViewModel.h"
#include "records/NamedColors.h"

#include <QJsonDocument>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {

const QString separator = u" · "_s;
const QString runningSymbol = u"▶"_s;
const QString idleSymbol = u"■"_s;
const QString stopPendingText = u"stop waiting for the server"_s;

QString totalText(const QString& label, const std::optional<StatusReport::Total>& total) {
    if (!total) {
        return {};
    }
    return label + moneyText(total->earnings) + u" for "_s +
           DashboardViewModel::formatDuration(total->duration);
}

QString withoutEntry(StatusReport::State state, const QString& problem) {
    switch (state) {
    case StatusReport::State::signedOut:
        return u"Not signed in"_s;
    case StatusReport::State::offline:
        return problem.isEmpty() ? u"Offline"_s : u"Offline: "_s + PlainText::line(problem);
    case StatusReport::State::running:
    case StatusReport::State::idle:
        break;
    }
    return u"No timer running"_s;
}

} // namespace

std::optional<StatusFormatter::Format> StatusFormatter::formatNamed(QStringView name) {
    if (name == u"human") {
        return Format::human;
    }
    if (name == u"json") {
        return Format::json;
    }
    if (name == u"waybar") {
        return Format::waybar;
    }
    if (name == u"i3blocks") {
        return Format::i3blocks;
    }
    return std::nullopt;
}

QByteArray StatusFormatter::format(const StatusReport& report, Format format, bool colour) {
    switch (format) {
    case Format::json:
        return PlainText::json(QJsonDocument(report.toJson()).toJson(QJsonDocument::Compact)) +
               '\n';
    case Format::waybar:
        return waybar(report);
    case Format::i3blocks:
        return i3blocks(report);
    case Format::human:
        break;
    }
    return humanLine(report, colour).toUtf8() + '\n';
}

QString StatusFormatter::entryTitle(const StatusReport::Entry& entry) {
    QStringList parts;
    for (const auto& part : {entry.project, entry.task}) {
        if (part && part->name && !part->name->isEmpty()) {
            parts.append(PlainText::line(*part->name));
        }
    }
    return parts.join(separator);
}

QString StatusFormatter::humanLine(const StatusReport& report, bool colour) {
    const auto paint = [colour](const QString& symbol, const char* code) {
        return colour ? u"\x1b["_s + QLatin1StringView(code) + u'm' + symbol + u"\x1b[0m"_s
                      : symbol;
    };
    // Status bars read this line for their own tags; the server's words open none.
    if (!report.entry) {
        return paint(idleSymbol, "2") + u' ' +
               PlainText::withoutBarTags(withoutEntry(report.state, report.problem));
    }
    QStringList parts{PlainText::withoutBarTags(entryTitle(*report.entry)),
                      elapsedText(report.entry->elapsedSeconds)};
    if (report.entry->earnings) {
        parts.append(moneyText(*report.entry->earnings));
    }
    if (report.stopPending) {
        parts.append(stopPendingText);
    }
    parts.removeAll(QString());
    return paint(runningSymbol, "32") + u' ' + parts.join(separator);
}

QString StatusFormatter::tooltip(const StatusReport& report) {
    QStringList lines;
    if (report.entry) {
        lines.append(entryTitle(*report.entry));
        if (report.entry->description && !report.entry->description->isEmpty()) {
            lines.append(PlainText::line(*report.entry->description));
        }
        QString figure = elapsedText(report.entry->elapsedSeconds);
        if (report.entry->earnings) {
            figure += separator + moneyText(*report.entry->earnings);
        }
        lines.append(figure);
        if (report.stopPending) {
            lines.append(stopPendingText);
        }
    } else {
        lines.append(withoutEntry(report.state, report.problem));
    }
    lines.append(totalText(u"Today: "_s, report.today));
    lines.append(totalText(u"This week: "_s, report.thisWeek));
    lines.removeAll(QString());
    return lines.join(u'\n');
}

QByteArray StatusFormatter::waybar(const StatusReport& report) {
    const QString state = StatusReport::stateName(report.state);
    QString text = idleSymbol;
    if (report.entry) {
        text = runningSymbol + u' ' + elapsedText(report.entry->elapsedSeconds);
    } else if (report.state != StatusReport::State::idle) {
        text += u' ' + QString(state).replace(u'-', u' ');
    }
    // waybar reads both texts as Pango markup.
    const QJsonObject object{{u"text"_s, PlainText::markup(text)},
                             {u"tooltip"_s, PlainText::markup(tooltip(report))},
                             {u"class"_s, state},
                             {u"alt"_s, state}};
    return PlainText::json(QJsonDocument(object).toJson(QJsonDocument::Compact)) + '\n';
}

QByteArray StatusFormatter::i3blocks(const StatusReport& report) {
    QString shortText = idleSymbol;
    QColor colour = NamedColors::grey();
    if (report.entry) {
        shortText = runningSymbol + u' ' + elapsedText(report.entry->elapsedSeconds);
        colour = NamedColors::accentGreen();
    } else if (report.state == StatusReport::State::offline) {
        colour = NamedColors::accentRed();
    }
    // Three lines: the full text, the short text for a crowded bar, the colour.
    const QString lines = humanLine(report) + u'\n' + shortText + u'\n' +
                          colour.name(QColor::HexRgb).toUpper() + u'\n';
    return lines.toUtf8();
}

} // namespace kelvo
