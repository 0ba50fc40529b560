#include "DBusMenu.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QTimer>

namespace kelvo {

namespace {

// What a panel draws of an entry; two menus that agree here look the same.
bool samePresentation(const MenuEntry& a, const MenuEntry& b) {
    return a.kind == b.kind && a.label == b.label && a.checked == b.checked;
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
    if (rebuild()) {
        Q_EMIT LayoutUpdated(m_revision, 0);
    }
}

bool DBusMenu::rebuild() {
    QMap<int, Node> nodes;
    nodes.insert(0, Node{MenuEntry::submenu({}, {}), {}});
    const QList<MenuEntry> entries = m_builder();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        add(entries[i], 0, QString(), i, nodes);
    }
    bool same = nodes.size() == m_nodes.size();
    for (auto it = nodes.cbegin(); same && it != nodes.cend(); ++it) {
        const auto old = m_nodes.constFind(it.key());
        same = old != m_nodes.cend() && old->children == it->children &&
               samePresentation(old->entry, it->entry);
    }
    m_nodes = std::move(nodes);
    if (!same) {
        ++m_revision;
    }
    return !same;
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
    QVariantMap all;
    if (node.entry.kind == MenuEntry::Kind::separator) {
        all.insert(QStringLiteral("type"), QStringLiteral("separator"));
    } else {
        if (id != 0) {
            all.insert(QStringLiteral("label"), node.entry.label);
            all.insert(QStringLiteral("enabled"), true);
            all.insert(QStringLiteral("visible"), true);
            all.insert(QStringLiteral("type"), QStringLiteral("standard"));
        }
        if (node.entry.kind == MenuEntry::Kind::radio) {
            all.insert(QStringLiteral("toggle-type"), QStringLiteral("radio"));
            all.insert(QStringLiteral("toggle-state"), node.entry.checked ? 1 : 0);
        }
        if (!node.children.isEmpty()) {
            all.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
        }
    }
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
    DBusMenuItemList items;
    for (int id : ids.isEmpty() ? m_nodes.keys() : ids) {
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
    QList<int> idErrors;
    for (const DBusMenuEvent& event : events) {
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
    return rebuild();
}

void DBusMenu::forgetOpen() {
    m_open = false;
    if (std::exchange(m_stale, false) && rebuild()) {
        Q_EMIT LayoutUpdated(m_revision, 0);
    }
}

QList<int> DBusMenu::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
    QList<int> updatesNeeded;
    for (int id : ids) {
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

void DBusMenu::refuseUnknown(int id) {
    if (calledFromDBus()) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("No menu item %1").arg(id));
    }
}

} // namespace kelvo
