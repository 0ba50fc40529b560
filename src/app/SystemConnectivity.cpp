#include "SystemConnectivity.h"

#include <QDBusConnection>

namespace kelvo {

void SystemConnectivity::watchNetwork() {
    if (QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        QNetworkInformation* information = QNetworkInformation::instance();
        m_reachability = information->reachability();
        setKnownOffline(m_reachability == QNetworkInformation::Reachability::Disconnected);
        connect(information, &QNetworkInformation::reachabilityChanged, this,
                &SystemConnectivity::onReachabilityChanged);
    }
}

void SystemConnectivity::watchSleep() {
    QDBusConnection::systemBus().connect(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
        SLOT(onPrepareForSleep(bool)));
}

void SystemConnectivity::onReachabilityChanged(QNetworkInformation::Reachability reachability) {
    const bool back = reachability == QNetworkInformation::Reachability::Online &&
                      m_reachability != QNetworkInformation::Reachability::Online;
    m_reachability = reachability;
    setKnownOffline(reachability == QNetworkInformation::Reachability::Disconnected);
    if (back) {
        Q_EMIT regained();
    }
}

void SystemConnectivity::onPrepareForSleep(bool sleeping) {
    if (!sleeping) {
        Q_EMIT regained();
    }
}

} // namespace kelvo
