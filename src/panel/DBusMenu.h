#pragma once

#include "DBusTypes.h"
#include "MenuEntry.h"

#include <QDBusContext>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QPointer>

class QDBusServiceWatcher;

namespace kelvo {

// The status item's menu as com.canonical.dbusmenu, for panels that draw it themselves. The
// entries come from a builder and are rebuilt when the panel is about to show the menu; a
// change while it is open is announced only once the panel has closed it, so an open menu
// never changes under the pointer. A change is announced as the properties that changed
// (a radio's tick, an item turned off) and as a new layout, since panels heed one or the other.
// A call naming more than a thousand items is refused.
class DBusMenu : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)
public:
    using Builder = std::function<QList<MenuEntry>()>;

    explicit DBusMenu(Builder builder, QObject* parent = nullptr);

    uint version() const { return 4; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }
    uint revision() const { return m_revision; }
    bool isOpen() const { return m_open; }

    // The entries may have changed: rebuilt and announced now, or once the open menu closes.
    void invalidate();
    // The panel that had the menu open is gone (or never said it closed it).
    void forgetOpen();

public Q_SLOTS:
    Q_SCRIPTABLE uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                kelvo::DBusMenuLayoutItem& layout);
    Q_SCRIPTABLE kelvo::DBusMenuItemList GetGroupProperties(const QList<int>& ids,
                                                            const QStringList& propertyNames);
    Q_SCRIPTABLE QDBusVariant GetProperty(int id, const QString& name);
    Q_SCRIPTABLE void Event(int id, const QString& eventId, const QDBusVariant& data,
                            uint timestamp);
    Q_SCRIPTABLE QList<int> EventGroup(const kelvo::DBusMenuEventList& events);
    Q_SCRIPTABLE bool AboutToShow(int id);
    Q_SCRIPTABLE QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

Q_SIGNALS:
    Q_SCRIPTABLE void ItemsPropertiesUpdated(const kelvo::DBusMenuItemList& updatedProps,
                                             const kelvo::DBusMenuItemKeysList& removedProps);
    Q_SCRIPTABLE void LayoutUpdated(uint revision, int parent);
    Q_SCRIPTABLE void ItemActivationRequested(int id, uint timestamp);

private:
    struct Node {
        MenuEntry entry;
        QList<int> children;
    };
    // What a rebuild changed of what panels show.
    struct Changes {
        bool layout = false;
        DBusMenuItemList updated;
        DBusMenuItemKeysList removed;
        bool any() const { return layout || !updated.isEmpty() || !removed.isEmpty(); }
    };

    // Builds the entries anew and says what differs.
    Changes rebuild();
    // Tells panels: the properties of the items they keep, then the new layout.
    void announce(const Changes& changes);
    void add(const MenuEntry& entry, int parent, const QString& parentKey, qsizetype position,
             QMap<int, Node>& nodes);
    QVariantMap properties(int id, const QStringList& names) const;
    DBusMenuLayoutItem layoutOf(int id, int depth, const QStringList& names) const;
    bool handleEvent(int id, const QString& eventId);
    void refuseUnknown(int id);
    void refuseFlood();
    void watchOpener();

    Builder m_builder;
    QMap<int, Node> m_nodes; // 0 is the root
    QHash<QString, int> m_idsByKey;
    int m_nextId = 1;
    uint m_revision = 0; // the first build makes it 1
    bool m_open = false;
    QPointer<QDBusServiceWatcher> m_openerWatch;
    bool m_stale = false;
};

} // namespace kelvo
