#include "Preferences.h"

#include "settings/SettingsStore.h"

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {
// As kept in the file, in the order of PanelText.
const QStringList panelTextValues{u"elapsed"_s, u"minutes"_s, u"off"_s};
} // namespace

Preferences::Preferences(QObject* parent) : QObject(parent) {
    if (!SettingsStore::read()) {
        m_readProblem = u"Could not read %1; using the defaults."_s.arg(SettingsStore::path());
        return;
    }
    const qsizetype panelText = panelTextValues.indexOf(SettingsStore::panelText().value_or(QString()));
    if (panelText >= 0) {
        m_panelText = PanelText(panelText);
    }
    bool ok = false;
    const int hours = SettingsStore::reminderHours().value_or(QString()).toInt(&ok);
    if (ok && hours >= 0 && hours <= maxReminderHours) {
        m_reminderHours = hours;
    }
    if (const auto reminded = SettingsStore::remindedEntry(); reminded && !reminded->isEmpty()) {
        m_remindedEntry = reminded;
    }
}

std::expected<void, QString> Preferences::setReminderHours(int hours) {
    if (hours < 0 || hours > maxReminderHours) {
        return std::unexpected(u"A reminder comes after 1 to 24 hours, or never."_s);
    }
    m_reminderHours = hours;
    Q_EMIT reminderHoursChanged();
    return SettingsStore::setReminderHours(hours);
}

std::expected<void, QString> Preferences::setPanelText(PanelText mode) {
    m_panelText = mode;
    Q_EMIT panelTextChanged();
    return SettingsStore::setPanelText(panelTextValues.at(int(mode)));
}

std::expected<void, QString> Preferences::setRemindedEntry(const QString& entryId) {
    m_remindedEntry = entryId;
    return SettingsStore::setRemindedEntry(entryId);
}

} // namespace kelvo
