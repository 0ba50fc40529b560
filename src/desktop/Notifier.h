#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace kelvo {

// Desktop notifications over org.freedesktop.Notifications: the body is the server's words,
// shown as text also where the notification server reads markup; buttons only where it draws
// them; the application icon always. Buttons pressed come back as `actionInvoked`.
class Notifier : public QObject {
    Q_OBJECT
public:
    struct Notice {
        QString summary;
        QString body;
        QList<std::pair<QString, QString>> actions; // key, label
    };
    // The notification's id, or nothing when no notification server took it.
    using Shown = std::function<void(std::optional<uint> id)>;

    explicit Notifier(QImage icon, QObject* parent = nullptr);

    void show(const Notice& notice, Shown shown);

Q_SIGNALS:
    void actionInvoked(uint id, const QString& action);

private Q_SLOTS:
    void onActionInvoked(uint id, const QString& action);

private:
    QVariant iconData() const;

    QImage m_icon;
};

} // namespace kelvo
