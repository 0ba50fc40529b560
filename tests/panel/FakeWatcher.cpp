#include "FakeWatcher.h"

namespace kelvo::test {

namespace {
const QString service = QStringLiteral("org.kde.StatusNotifierWatcher");
}

FakeWatcher::FakeWatcher(bool answersRegistrations)
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-watcher")))
    , m_answers(answersRegistrations) {
    m_bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                         QDBusConnection::ExportScriptableContents | QDBusConnection::ExportAllProperties);
}

FakeWatcher::~FakeWatcher() {
    vanish();
    m_bus.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
}

bool FakeWatcher::appear() {
    m_items.clear();
    return m_bus.registerService(service);
}

void FakeWatcher::vanish() {
    m_bus.unregisterService(service);
}

void FakeWatcher::RegisterStatusNotifierItem(const QString& item, const QDBusMessage& message) {
    ++m_registrations;
    if (!m_answers) {
        message.setDelayedReply(true); // and never replies
        return;
    }
    m_items.append(item.startsWith(u'/') ? message.service() : item);
    Q_EMIT StatusNotifierItemRegistered(m_items.last());
}

void FakeWatcher::RegisterStatusNotifierHost(const QString&) {}

} // namespace kelvo::test
