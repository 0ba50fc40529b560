#pragma once

#include <QObject>

namespace kelvo {

class APIClient;
class Connectivity;

// Whether the screens say "Offline — figures may be out of date": while the system knows the
// network is down and the last exchange with the server failed for want of it. Never for a
// server on this machine, which needs no network.
class OfflineNotice : public QObject {
    Q_OBJECT
public:
    OfflineNotice(APIClient* client, Connectivity* connectivity, QObject* parent = nullptr);

    bool isShown() const { return m_shown; }
    static QString text();

Q_SIGNALS:
    void shownChanged();

private:
    void update();

    APIClient* m_client;
    Connectivity* m_connectivity;
    bool m_lastFailed = false;
    bool m_shown = false;
};

} // namespace kelvo
