#include "DBusMenu.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QSet>
#include <QTimer>

namespace kelvo {

namespace {

// What one call may name: a panel asks about a handful of items, never about more.
constexpr qsizetype mostIdsPerCall = 1000;

// The distinct items of `items` by `key`, in their order; nothing when there are more of them
// than one call may name (so a flood is turned away before it is stored).
template <class T, class Key>
std::optional<QList<T>> distinct(const QList<T>& items, const Key& key) {
    QList<T> unique;
    QSet<decltype(key(std::declval<const T&>()))> seen;
    for (const T& item : items) {
        if (!seen.contains(key(item))) {
            if (unique.size() == mostIdsPerCall) {
                return std::nullopt;
            }
            seen.insert(key(item));
            unique.append(item);
        }
    }
    return unique;
}

QVariantMap allProperties(int id, const MenuEntry& entry, bool hasChildren) {
    QVariantMap all;
    if (entry.kind == MenuEntry::Kind::separator) {
        all.insert(QStringLiteral("type"), QStringLiteral("separator"));
        return all;
    }
    if (id != 0) {
        all.insert(QStringLiteral("label"), entry.label);
        all.insert(QStringLiteral("enabled"), entry.enabled);
        all.insert(QStringLiteral("visible"), true);
        all.insert(QStringLiteral("type"), QStringLiteral("standard"));
    }
    if (entry.kind == MenuEntry::Kind::radio) {
        all.insert(QStringLiteral("toggle-type"), QStringLiteral("radio"));
        all.insert(QStringLiteral("toggle-state"), entry.checked ? 1 : 0);
    }
    if (hasChildren) {
        all.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    }
    return all;
}

} // namespace

DBusMenu::DBusMenu(Builder builder, QObject* parent)
    : QObject(parent)
    , m_builder(std::move(builder)) {
    rebuild();
}

void DBusMenu::invalidate() {
    if (m_open) {
        m_stale = true;
        return;
    }
    announce(rebuild());
}

DBusMenu::Changes DBusMenu::rebuild() {
    QMap<int, Node> nodes;
    nodes.insert(0, Node{MenuEntry::submenu({}, {}), {}});
    const QList<MenuEntry> entries = m_builder();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        add(entries[i], 0, QString(), i, nodes);
    }
    Changes changes;
    changes.layout = nodes.keys() != m_nodes.keys();
    for (auto it = nodes.cbegin(); it != nodes.cend(); ++it) {
        const auto old = m_nodes.constFind(it.key());
        if (old == m_nodes.cend()) {
            continue;
        }
        changes.layout = changes.layout || old->children != it->children;
        // What a panel has of an item it keeps: the properties that changed or went.
        const QVariantMap before = allProperties(old.key(), old->entry, !old->children.isEmpty());
        const QVariantMap after = allProperties(it.key(), it->entry, !it->children.isEmpty());
        DBusMenuItem updated{it.key(), {}};
        for (auto property = after.cbegin(); property != after.cend(); ++property) {
            if (before.value(property.key()) != property.value()) {
                updated.properties.insert(property.key(), property.value());
            }
        }
        DBusMenuItemKeys removed{it.key(), {}};
        for (auto property = before.cbegin(); property != before.cend(); ++property) {
            if (!after.contains(property.key())) {
                removed.names.append(property.key());
            }
        }
        if (!updated.properties.isEmpty()) {
            changes.updated.append(updated);
        }
        if (!removed.names.isEmpty()) {
            changes.removed.append(removed);
        }
    }
    m_nodes = std::move(nodes);
    if (changes.any()) {
        ++m_revision;
    }
    return changes;
}

void DBusMenu::announce(const Changes& changes) {
    if (!changes.updated.isEmpty() || !changes.removed.isEmpty()) {
        Q_EMIT ItemsPropertiesUpdated(changes.updated, changes.removed);
    }
    if (changes.any()) {
        Q_EMIT LayoutUpdated(m_revision, 0);
    }
}

void DBusMenu::add(const MenuEntry& entry, int parent, const QString& parentKey, qsizetype position,
                   QMap<int, Node>& nodes) {
    // An id stands for one meaning for good ("Stop Timer" never becomes "Start Latest Timer"),
    // so a click that arrives after the menu changed acts on what was shown, or on nothing.
    const QString key =
        parentKey + u'/' +
        (entry.kind == MenuEntry::Kind::separator ? QStringLiteral("-%1").arg(position)
                                                  : entry.label);
    auto id = m_idsByKey.constFind(key);
    if (id == m_idsByKey.cend()) {
        id = m_idsByKey.insert(key, m_nextId++);
    }
    Node node{entry, {}};
    node.entry.children.clear();
    nodes.insert(*id, node);
    nodes[parent].children.append(*id);
    for (qsizetype i = 0; i < entry.children.size(); ++i) {
        add(entry.children[i], *id, key, i, nodes);
    }
}

QVariantMap DBusMenu::properties(int id, const QStringList& names) const {
    const Node& node = m_nodes[id];
    const QVariantMap all = allProperties(id, node.entry, !node.children.isEmpty());
    if (names.isEmpty()) {
        return all;
    }
    QVariantMap chosen;
    for (const QString& name : names) {
        if (all.contains(name)) {
            chosen.insert(name, all.value(name));
        }
    }
    return chosen;
}

DBusMenuLayoutItem DBusMenu::layoutOf(int id, int depth, const QStringList& names) const {
    DBusMenuLayoutItem item{id, properties(id, names), {}};
    if (depth != 0) {
        for (int child : m_nodes[id].children) {
            item.children.append(QVariant::fromValue(layoutOf(child, depth - 1, names)));
        }
    }
    return item;
}

uint DBusMenu::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                         DBusMenuLayoutItem& layout) {
    if (!m_nodes.contains(parentId)) {
        refuseUnknown(parentId);
        return m_revision;
    }
    layout = layoutOf(parentId, recursionDepth, propertyNames);
    return m_revision;
}

DBusMenuItemList DBusMenu::GetGroupProperties(const QList<int>& ids,
                                              const QStringList& propertyNames) {
    const auto unique = distinct(ids, [](int id) { return id; });
    if (!unique) {
        refuseFlood();
        return {};
    }
    DBusMenuItemList items;
    for (int id : ids.isEmpty() ? m_nodes.keys() : *unique) {
        if (m_nodes.contains(id)) {
            items.append({id, properties(id, propertyNames)});
        }
    }
    return items;
}

QDBusVariant DBusMenu::GetProperty(int id, const QString& name) {
    const QVariantMap all = m_nodes.contains(id) ? properties(id, {}) : QVariantMap();
    if (!all.contains(name)) {
        refuseUnknown(id);
        return QDBusVariant(QVariant(0));
    }
    return QDBusVariant(all.value(name));
}

void DBusMenu::Event(int id, const QString& eventId, const QDBusVariant&, uint) {
    handleEvent(id, eventId);
}

QList<int> DBusMenu::EventGroup(const DBusMenuEventList& events) {
    // The same event of the same item twice in one call is one event.
    const auto unique = distinct(events, [](const DBusMenuEvent& event) {
        return std::pair(event.id, event.eventId);
    });
    if (!unique) {
        refuseFlood();
        return {};
    }
    QList<int> idErrors;
    for (const DBusMenuEvent& event : *unique) {
        if (!handleEvent(event.id, event.eventId)) {
            idErrors.append(event.id);
        }
    }
    return idErrors;
}

bool DBusMenu::handleEvent(int id, const QString& eventId) {
    const auto node = m_nodes.constFind(id);
    if (node == m_nodes.cend()) {
        return false;
    }
    if (id == 0 && eventId == u"opened") {
        m_open = true;
        watchOpener();
    } else if (id == 0 && eventId == u"closed") {
        forgetOpen();
    } else if (eventId == u"clicked" && node->entry.run) {
        // After the reply: the action may open windows or end the program.
        QTimer::singleShot(0, this, node->entry.run);
    }
    return true;
}

bool DBusMenu::AboutToShow(int id) {
    if (!m_nodes.contains(id)) {
        refuseUnknown(id);
        return false;
    }
    if (id != 0) {
        return false; // a submenu of an open menu shows what the menu was built with
    }
    // The root is about to show, so it is not open (whatever a lost "closed" left behind).
    forgetOpen();
    return rebuild().any();
}

void DBusMenu::forgetOpen() {
    m_open = false;
    if (std::exchange(m_stale, false)) {
        announce(rebuild());
    }
}

QList<int> DBusMenu::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
    const auto unique = distinct(ids, [](int id) { return id; });
    if (!unique) {
        refuseFlood();
        return {};
    }
    QList<int> updatesNeeded;
    for (int id : *unique) {
        if (!m_nodes.contains(id)) {
            idErrors.append(id);
        } else if (AboutToShow(id)) {
            updatesNeeded.append(id);
        }
    }
    return updatesNeeded;
}

void DBusMenu::watchOpener() {
    if (!calledFromDBus()) {
        return;
    }
    // A panel that goes away with the menu open never says it closed it.
    delete m_openerWatch;
    m_openerWatch = new QDBusServiceWatcher(message().service(), connection(),
                                            QDBusServiceWatcher::WatchForUnregistration, this);
    connect(m_openerWatch, &QDBusServiceWatcher::serviceUnregistered, this, &DBusMenu::forgetOpen);
}

void DBusMenu::refuseFlood() {
    if (calledFromDBus()) {
        sendErrorReply(QDBusError::InvalidArgs,
                       QStringLiteral("More than %1 menu items in one call").arg(mostIdsPerCall));
    }
}

void DBusMenu::refuseUnknown(int id) {
    if (calledFromDBus()) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("No menu item %1").arg(id));
    }
}

} // namespace kelvo
