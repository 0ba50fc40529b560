#pragma once

// The structures that the panel item and its menu exchange over D-Bus, with their wire
// signatures. Every one, and every list of one, is registered with QtDBus by
// registerPanelDBusTypes() before any object is exported.

#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace kelvo {

// (iiay): one icon size, ARGB32 in network byte order.
struct SniIconPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;
};
using SniIconPixmapList = QList<SniIconPixmap>;

// (sa(iiay)ss): icon name, icon pixmaps, title, text.
struct SniToolTip {
    QString iconName;
    SniIconPixmapList pixmaps;
    QString title;
    QString text;
};

// (ia{sv}av): a menu item with its properties and, as variants, its children.
struct DBusMenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QVariantList children;
};

// (ia{sv}): a menu item's properties.
struct DBusMenuItem {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemList = QList<DBusMenuItem>;

// (ias): the names of properties removed from an item.
struct DBusMenuItemKeys {
    int id = 0;
    QStringList names;
};
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;

// (isvu): one event of a group.
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

QDBusArgument& operator<<(QDBusArgument& argument, const SniIconPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniIconPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& toolTip);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& toolTip);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayoutItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayoutItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemKeys& keys);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemKeys& keys);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event);

void registerPanelDBusTypes();

} // namespace kelvo

Q_DECLARE_METATYPE(kelvo::SniIconPixmap)
Q_DECLARE_METATYPE(kelvo::SniToolTip)
Q_DECLARE_METATYPE(kelvo::DBusMenuLayoutItem)
Q_DECLARE_METATYPE(kelvo::DBusMenuItem)
Q_DECLARE_METATYPE(kelvo::DBusMenuItemKeys)
Q_DECLARE_METATYPE(kelvo::DBusMenuEvent)
