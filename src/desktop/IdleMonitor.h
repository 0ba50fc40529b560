#pragma once

#include <QObject>

#include <chrono>
#include <functional>

class QTimer;

namespace kelvo {

class LogindSession;

// How long the user has given no keyboard or pointer input, from the first source of the desktop
// that answers: GNOME's idle monitor (watches, on Wayland and X11), the freedesktop screen saver
// (KDE and others), the X server's screen-saver extension (in an X11 session only: under
// XWayland it sees only X11 windows' input and would call a typing user idle), logind's idle hint.
// Watches are used where there are any; the others are asked every poll interval, and only while
// the owner says it needs them.
class IdleMonitor : public QObject {
    Q_OBJECT
public:
    enum class Source { none, mutter, screenSaver, x11, logind };
    using IdleTime = std::function<void(std::optional<qint64> milliseconds)>;

    IdleMonitor(LogindSession* session, QObject* parent = nullptr);

    // Finds the source (without waiting) and says which in one diagnostic line.
    void start();
    Source source() const { return m_source; }
    static QString sourceName(Source source);

    // Reports `idle` once the user has given no input this long (zero: never), and `active`
    // when input comes after that.
    void setThreshold(std::chrono::seconds threshold);
    // Polling sources ask only while this is on.
    void setNeeded(bool needed);
    void setPollInterval(std::chrono::milliseconds interval);
    // The idle time now, or nothing without a source.
    void ask(IdleTime answer);

Q_SIGNALS:
    void sourceFound(kelvo::IdleMonitor::Source source);
    void idle(qint64 idleSeconds);
    void active();

private Q_SLOTS:
    void watchFired(uint id);

private:
    void tryMutter();
    void tryScreenSaver();
    void tryX11();
    void tryLogind();
    void found(Source source);
    void watchMutter();
    void addUserActiveWatch();
    void poll();
    void heard(qint64 idleMs);
    void updatePolling();

    LogindSession* m_session;
    Source m_source = Source::none;
    bool m_started = false;
    std::chrono::seconds m_threshold{0};
    bool m_needed = false;
    bool m_reported = false;
    QTimer* m_poll;
    uint m_idleWatch = 0;
    uint m_activeWatch = 0;
    QString m_sessionPath;
};

} // namespace kelvo
