// The desktop's wish for less motion, read from a settings portal on a private session bus.
#include "ui/ReducedMotion.h"

#include <QDBusConnection>
#include <QDBusVariant>
#include <QTest>

using namespace kelvo;
using namespace Qt::StringLiterals;

namespace {

// Stands in for the desktop's settings portal.
class FakeSettings : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    bool animations = false;

public Q_SLOTS:
    QDBusVariant Read(const QString& group, const QString& key) {
        const bool known = group == u"org.gnome.desktop.interface"_s && key == u"enable-animations"_s;
        // As the portal answers: the value in a variant in a variant.
        return QDBusVariant(QVariant::fromValue(QDBusVariant(known ? animations : QVariant(u"?"_s))));
    }

Q_SIGNALS:
    void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);
};

} // namespace

class tst_Motion : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void followsThePortal() {
        FakeSettings settings;
        // A connection of its own, as the portal is another process.
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"portal"_s);
        QVERIFY(bus.isConnected());
        QVERIFY(bus.registerObject(u"/org/freedesktop/portal/desktop"_s, &settings,
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        QVERIFY(bus.registerService(u"org.freedesktop.portal.Desktop"_s));
        // Asked at first use: animations are off, so motion is reduced.
        ReducedMotion& motion = ReducedMotion::instance();
        QTRY_VERIFY(motion.isReduced());
        // Turned on and off again while running.
        Q_EMIT settings.SettingChanged(u"org.gnome.desktop.interface"_s, u"enable-animations"_s, QDBusVariant(true));
        QTRY_VERIFY(!motion.isReduced());
        Q_EMIT settings.SettingChanged(u"org.gnome.desktop.interface"_s, u"cursor-size"_s, QDBusVariant(false));
        Q_EMIT settings.SettingChanged(u"org.gnome.desktop.interface"_s, u"enable-animations"_s, QDBusVariant(u"yes"_s));
        Q_EMIT settings.SettingChanged(u"org.gnome.desktop.interface"_s, u"enable-animations"_s, QDBusVariant(false));
        QTRY_VERIFY(motion.isReduced());
    }
};

QTEST_GUILESS_MAIN(tst_Motion)
#include "tst_motion.moc"
