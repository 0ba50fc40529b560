#include "Preferences.h"

#include "settings/SettingsStore.h"

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {
const QString reminderKey = u"reminder_hours"_s;
const QString remindedKey = u"reminded_entry"_s;
} // namespace

Preferences::Preferences(QObject* parent) : QObject(parent) {
    const auto entries = SettingsStore::read();
    if (!entries) {
        m_readProblem = u"Could not read %1; using the defaults."_s.arg(SettingsStore::path());
        return;
    }
    bool ok = false;
    const int hours = entries->value(reminderKey).toString().toInt(&ok);
    if (ok && hours >= 0 && hours <= maxReminderHours) {
        m_reminderHours = hours;
    }
    const QString reminded = entries->value(remindedKey).toString();
    if (!reminded.isEmpty()) {
        m_remindedEntry = reminded;
    }
}

std::expected<void, QString> Preferences::setReminderHours(int hours) {
    if (hours < 0 || hours > maxReminderHours) {
        return std::unexpected(u"A reminder comes after 1 to 24 hours, or never."_s);
    }
    m_reminderHours = hours;
    Q_EMIT reminderHoursChanged();
    return SettingsStore::store(reminderKey, QString::number(hours));
}

std::expected<void, QString> Preferences::setRemindedEntry(const QString& entryId) {
    m_remindedEntry = entryId;
    if (!SettingsStore::isPlainValue(entryId)) {
        return std::unexpected(u"the entry id is not one the settings file keeps"_s);
    }
    return SettingsStore::store(remindedKey, entryId);
}

} // namespace kelvo
