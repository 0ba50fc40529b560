#include "OfflineNotice.h"

#include "Connectivity.h"
#include "api/APIClient.h"

namespace kelvo {

OfflineNotice::OfflineNotice(APIClient* client, Connectivity* connectivity, QObject* parent)
    : QObject(parent)
    , m_client(client)
    , m_connectivity(connectivity) {
    connect(m_client, &APIClient::reached, this, [this](bool answered) {
        m_lastFailed = !answered;
        update();
    });
    connect(m_connectivity, &Connectivity::knownOfflineChanged, this, &OfflineNotice::update);
}

QString OfflineNotice::text() {
    return QStringLiteral("Offline — figures may be out of date");
}

void OfflineNotice::update() {
    const bool shown = m_lastFailed && m_connectivity->isKnownOffline() && !m_client->isLoopback();
    if (shown != m_shown) {
        m_shown = shown;
        Q_EMIT shownChanged();
    }
}

} // namespace kelvo
