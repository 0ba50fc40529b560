#pragma once

#include <QObject>
#include <QString>

#include <expected>
#include <optional>

namespace kelvo {

// The program's own settings beside the sign-in in Kelvo.conf: what the panel item's label
// shows, after how many hours of one running timer to remind the user, and which entry was last
// reminded of (so a restart of the program does not remind again). A file that cannot be read gives the defaults; every write
// keeps the file the user's alone and leaves the other entries (the sign-in) as they are.
class Preferences : public QObject {
    Q_OBJECT
public:
    static constexpr int defaultReminderHours = 8;
    static constexpr int maxReminderHours = 24;

    // What the panel item's label shows: the elapsed time, hours and minutes, or nothing.
    enum class PanelText { elapsed, minutes, off };

    explicit Preferences(QObject* parent = nullptr);

    PanelText panelText() const { return m_panelText; }
    // Applies at once; the error says why it could not be kept.
    std::expected<void, QString> setPanelText(PanelText mode);

    // 0 for off, else 1 to 24.
    int reminderHours() const { return m_reminderHours; }
    std::expected<void, QString> setReminderHours(int hours);
    const std::optional<QString>& remindedEntry() const { return m_remindedEntry; }
    std::expected<void, QString> setRemindedEntry(const QString& entryId);
    // Why the settings could not be read (the defaults are in use), or empty.
    const QString& readProblem() const { return m_readProblem; }

Q_SIGNALS:
    void reminderHoursChanged();
    void panelTextChanged();

private:
    PanelText m_panelText = PanelText::elapsed;
    int m_reminderHours = defaultReminderHours;
    std::optional<QString> m_remindedEntry;
    QString m_readProblem;
};

} // namespace kelvo
