#pragma once

#include <QDBusMessage>
#include <QObject>

namespace kelvo {

class LogindSession;

// Whether the screen is locked (or blanked): the freedesktop and GNOME screen savers'
// ActiveChanged signals on the session bus, and the LockedHint of this program's own logind
// session, followed through PropertiesChanged (logind's Lock signal asks to lock; it is not the
// state).
class LockMonitor : public QObject {
    Q_OBJECT
public:
    explicit LockMonitor(LogindSession* session, QObject* parent = nullptr);

    void start();
    bool isLocked() const { return m_screenSaver || m_lockedHint; }

Q_SIGNALS:
    void lockedChanged(bool locked);

private Q_SLOTS:
    void screenSaverActive(bool active);
    void sessionPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                  const QStringList& invalidated);

private:
    void update(bool screenSaver, bool lockedHint);

    LogindSession* m_session;
    bool m_started = false;
    bool m_screenSaver = false;
    bool m_lockedHint = false;
    bool m_shown = false;
};

} // namespace kelvo
