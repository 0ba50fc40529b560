#include "Notifier.h"

#include "records/PlainText.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {
const QString service = u"org.freedesktop.Notifications"_s;
const QString path = u"/org/freedesktop/Notifications"_s;

QDBusMessage call(const QString& method) {
    return QDBusMessage::createMethodCall(service, path, service, method);
}
} // namespace

Notifier::Notifier(QImage icon, QObject* parent)
    : QObject(parent)
    , m_icon(icon.convertToFormat(QImage::Format_RGBA8888)) {
    QDBusConnection::sessionBus().connect(service, path, service, u"ActionInvoked"_s, this,
                                          SLOT(onActionInvoked(uint, QString)));
}

void Notifier::onActionInvoked(uint id, const QString& action) {
    Q_EMIT actionInvoked(id, action);
}

// The picture as the notification's image-data hint, so the icon shows also where Kelvo's icon
// is not installed in the icon theme.
QVariant Notifier::iconData() const {
    QDBusArgument data;
    data.beginStructure();
    data << m_icon.width() << m_icon.height() << int(m_icon.bytesPerLine()) << true << 8 << 4
         << QByteArray(reinterpret_cast<const char*>(m_icon.constBits()), m_icon.sizeInBytes());
    data.endStructure();
    return QVariant::fromValue(data);
}

void Notifier::show(const Notice& notice, Shown shown) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        shown(std::nullopt);
        return;
    }
    auto* capabilities =
        new QDBusPendingCallWatcher(bus.asyncCall(call(u"GetCapabilities"_s)), this);
    connect(capabilities, &QDBusPendingCallWatcher::finished, this,
            [this, notice, shown](QDBusPendingCallWatcher* answered) {
                answered->deleteLater();
                const QDBusPendingReply<QStringList> reply = *answered;
                if (reply.isError()) {
                    shown(std::nullopt);
                    return;
                }
                QStringList actions;
                if (reply.value().contains(u"actions"_s)) {
                    for (const auto& [key, label] : notice.actions) {
                        actions << key << label;
                    }
                }
                const QString text = PlainText::line(notice.body);
                const QString body =
                    reply.value().contains(u"body-markup"_s) ? PlainText::markup(text) : text;
                const QVariantMap hints{{u"desktop-entry"_s, u"app.kelvo.Kelvo"_s},
                                        {u"image-data"_s, iconData()}};
                QDBusMessage notify = call(u"Notify"_s);
                notify << u"Kelvo"_s << uint(0) << u"app.kelvo.Kelvo"_s
                       << PlainText::line(notice.summary)
                       << body << actions << hints << -1;
                auto* sent = new QDBusPendingCallWatcher(
                    QDBusConnection::sessionBus().asyncCall(notify), this);
                connect(sent, &QDBusPendingCallWatcher::finished, this,
                        [shown](QDBusPendingCallWatcher* done) {
                            done->deleteLater();
                            const QDBusPendingReply<uint> id = *done;
                            shown(id.isError() ? std::nullopt : std::optional(id.value()));
                        });
            });
}

} // namespace kelvo
