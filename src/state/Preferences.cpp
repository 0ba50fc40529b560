#include "Preferences.h"

#include "api/APIClient.h"

#include <QFileInfo>
#include <QSettings>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {
const QString reminderKey = u"reminder_hours"_s;
const QString remindedKey = u"reminded_entry"_s;
} // namespace

Preferences::Preferences(QObject* parent) : QObject(parent) {
    const QString path = APIClient::tokenFilePath();
    if (!QFileInfo::exists(path)) {
        return;
    }
    if (!APIClient::checkSettingsFile()) {
        m_readProblem = u"Could not read %1; using the defaults."_s.arg(path);
        return;
    }
    QSettings settings(path, QSettings::IniFormat);
    bool ok = false;
    const int hours = settings.value(reminderKey).toString().toInt(&ok);
    if (ok && hours >= 0 && hours <= maxReminderHours) {
        m_reminderHours = hours;
    }
    const QString reminded = settings.value(remindedKey).toString();
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
    return APIClient::storeSetting(reminderKey, QString::number(hours));
}

std::expected<void, QString> Preferences::setRemindedEntry(const QString& entryId) {
    m_remindedEntry = entryId;
    return APIClient::storeSetting(remindedKey, entryId);
}

} // namespace kelvo
