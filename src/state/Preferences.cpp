#include "Preferences.h"

#include "records/Diagnostics.h"
#include "settings/SettingsStore.h"

#include <algorithm>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {

using Key = SettingsStore::Key;

// As kept in the file, in the order of PanelText.
const QStringList panelTextValues{u"elapsed"_s, u"minutes"_s, u"off"_s, u"icon"_s};
const QString stopValue = u"stop"_s;
const QString nothingValue = u"nothing"_s;

std::optional<int> number(const std::optional<QString>& text) {
    bool ok = false;
    const int value = text.value_or(QString()).toInt(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

bool isIdleChoice(int minutes) {
    return std::ranges::find(Preferences::idleChoices, minutes) != std::end(Preferences::idleChoices);
}

bool isStartReminder(int minutes) {
    return minutes == 0 || (minutes >= Preferences::shortestStartReminder &&
                            minutes <= Preferences::longestStartReminder);
}

} // namespace

Preferences::PanelText Preferences::defaultPanelText(const QString& desktops) {
    // Their default trays show an item's icon and tooltip only.
    static const QStringList labelless{u"KDE"_s, u"XFCE"_s, u"LXQt"_s, u"X-Cinnamon"_s};
    const QStringList names = desktops.split(u':', Qt::SkipEmptyParts);
    const bool drawsNoLabels = std::ranges::any_of(names, [](const QString& name) {
        return labelless.contains(name, Qt::CaseInsensitive);
    });
    return drawsNoLabels ? PanelText::icon : PanelText::elapsed;
}

Preferences::Preferences(QObject* parent)
    : QObject(parent)
    , m_panelText(defaultPanelText(qEnvironmentVariable("XDG_CURRENT_DESKTOP"))) {
    const auto entries = SettingsStore::read();
    if (!entries) {
        m_readProblem = u"Could not read %1; using the defaults."_s.arg(SettingsStore::path());
        return;
    }
    const auto value = [&entries](Key key) { return SettingsStore::value(*entries, key); };
    if (const qsizetype mode = panelTextValues.indexOf(value(Key::panelText).value_or(QString()));
        mode >= 0) {
        m_panelText = PanelText(mode);
    }
    if (const auto hours = number(value(Key::reminderHours));
        hours && *hours >= 0 && *hours <= maxReminderHours) {
        m_reminderHours = *hours;
    }
    if (const auto reminded = value(Key::remindedEntry); reminded && !reminded->isEmpty()) {
        m_remindedEntry = reminded;
    }
    if (const auto idle = number(value(Key::awayIdleMinutes)); idle && isIdleChoice(*idle)) {
        m_awayIdleMinutes = *idle;
    }
    m_stopsOnLock = value(Key::awayOnLock) == stopValue;
    m_stopsOnSleep = value(Key::awayOnSleep) == stopValue;
    if (const auto minutes = number(value(Key::startReminderMinutes));
        minutes && isStartReminder(*minutes)) {
        m_startReminderMinutes = *minutes;
    }
    if (const auto hours = number(value(Key::weeklyTargetHours));
        hours && *hours >= 0 && *hours <= hoursInAWeek) {
        m_weeklyTargetHours = *hours;
    }
    if (const auto hours = value(Key::workHours)) {
        if (const auto parsed = WorkHours::parse(*hours)) {
            m_workHours = *parsed;
        } else {
            Diagnostics::print(u"Ignoring the work hours \""_s + *hours + u"\" in "_s +
                               SettingsStore::path() + u": using "_s + m_workHours.text());
        }
    }
}

std::expected<void, QString> Preferences::setReminderHours(int hours) {
    if (hours < 0 || hours > maxReminderHours) {
        return std::unexpected(u"A reminder comes after 1 to 24 hours, or never."_s);
    }
    m_reminderHours = hours;
    Q_EMIT reminderHoursChanged();
    return SettingsStore::setValue(Key::reminderHours, QString::number(hours));
}

std::expected<void, QString> Preferences::setPanelText(PanelText mode) {
    m_panelText = mode;
    Q_EMIT panelTextChanged();
    return SettingsStore::setValue(Key::panelText, panelTextValues.at(int(mode)));
}

std::expected<void, QString> Preferences::setRemindedEntry(const QString& entryId) {
    m_remindedEntry = entryId;
    return SettingsStore::setValue(Key::remindedEntry, entryId);
}

std::expected<void, QString> Preferences::setAwayIdleMinutes(int minutes) {
    if (!isIdleChoice(minutes)) {
        return std::unexpected(u"The timer stops after 5, 10, 15, 30 or 60 idle minutes, or never."_s);
    }
    m_awayIdleMinutes = minutes;
    Q_EMIT awayRulesChanged();
    return SettingsStore::setValue(Key::awayIdleMinutes, QString::number(minutes));
}

std::expected<void, QString> Preferences::setStopsOnLock(bool stop) {
    m_stopsOnLock = stop;
    Q_EMIT awayRulesChanged();
    return SettingsStore::setValue(Key::awayOnLock, stop ? stopValue : nothingValue);
}

std::expected<void, QString> Preferences::setStopsOnSleep(bool stop) {
    m_stopsOnSleep = stop;
    Q_EMIT awayRulesChanged();
    return SettingsStore::setValue(Key::awayOnSleep, stop ? stopValue : nothingValue);
}

std::expected<void, QString> Preferences::setStartReminderMinutes(int minutes) {
    if (!isStartReminder(minutes)) {
        return std::unexpected(u"A start reminder comes after 5 to 120 minutes, or never."_s);
    }
    m_startReminderMinutes = minutes;
    Q_EMIT startReminderChanged();
    return SettingsStore::setValue(Key::startReminderMinutes, QString::number(minutes));
}

std::expected<void, QString> Preferences::setWorkHours(const QString& text) {
    const auto parsed = WorkHours::parse(text);
    if (!parsed) {
        return std::unexpected(u"Work hours are days and a span, as in \"Mon-Fri 09:00-17:00\"."_s);
    }
    m_workHours = *parsed;
    Q_EMIT startReminderChanged();
    Q_EMIT weeklyTargetChanged();
    return SettingsStore::setValue(Key::workHours, m_workHours.text());
}

std::expected<void, QString> Preferences::setWeeklyTargetHours(int hours) {
    if (hours < 0 || hours > hoursInAWeek) {
        return std::unexpected(u"A week has 0 to 168 hours to aim for."_s);
    }
    m_weeklyTargetHours = hours;
    Q_EMIT weeklyTargetChanged();
    return SettingsStore::setValue(Key::weeklyTargetHours, QString::number(hours));
}

} // namespace kelvo
