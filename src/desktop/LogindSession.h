#pragma once

#include <QDBusObjectPath>
#include <QObject>

#include <functional>

namespace kelvo {

// This program's own logind session on the system bus: the session of its process, else the one
// named by XDG_SESSION_ID (never "/session/auto", which names the caller's session as logind
// sees each call). Found once, without waiting.
class LogindSession : public QObject {
    Q_OBJECT
public:
    using Found = std::function<void(const QDBusObjectPath& path)>;

    explicit LogindSession(QObject* parent = nullptr);

    // `found` gets the session's path, or an empty path when there is none; at once when known.
    void find(Found found);

private:
    void ask(const QString& method, const QVariant& argument, bool last);
    void settle(const QDBusObjectPath& path);

    bool m_asked = false;
    bool m_known = false;
    QDBusObjectPath m_path;
    QList<Found> m_waiting;
};

} // namespace kelvo
