#pragma once

#include <QCoroTask>
#include <QDateTime>
#include <QObject>

#include <functional>
#include <optional>

namespace kelvo {

class Notifier;
class Preferences;
class TimerViewModel;

// Reminds the user of a timer left running: once the running entry has counted the chosen
// hours, a desktop notification (with a "Stop timer" button where the notification server offers
// buttons). Once per entry, also across restarts of the program. Without a notification server
// the tray icon's message is used where there is one, else a diagnostic line.
class Reminder : public QObject {
    Q_OBJECT
public:
    // Shows `text` as the tray icon's message; false when there is no tray icon.
    using TrayMessage = std::function<bool(const QString& text)>;

    Reminder(TimerViewModel* timer, Preferences* preferences, Notifier* notifier,
             TrayMessage trayMessage, QObject* parent = nullptr);

    // "Timer running for 8 hours 5 minutes": the notification's summary.
    static QString headline(qint64 elapsedSeconds);
    // "Timer running for 8 hours 5 minutes — Website Redesign · Frontend build".
    static QString text(qint64 elapsedSeconds, const QString& title);

Q_SIGNALS:
    // The reminder went out as `text`, through whatever way there was.
    void reminded(const QString& text);

private:
    void onActionInvoked(uint id, const QString& action);
    // Whether the running entry, counted from its start by the clock, is due a reminder.
    bool isDue() const;
    void check();
    // Asks the server first: after a wake the local count may be of an entry stopped elsewhere.
    QCoro::Task<void> confirmAndRemind();
    // The notification: the headline as its summary, the entry's title as its body.
    void notify(qint64 elapsed, const QString& title, const QString& entryId);
    void fallBack(const QString& text);

    TimerViewModel* m_timer;
    Preferences* m_preferences;
    Notifier* m_notifier;
    TrayMessage m_trayMessage;
    // The notification shown and the entry it is about, set together when it is shown.
    std::optional<uint> m_notification;
    QString m_notifiedEntry;
    bool m_confirming = false;
    // After a failed confirmation, none before this time (by the clock).
    QDateTime m_nextConfirmation;
};

} // namespace kelvo
