#pragma once

#include "state/Connectivity.h"

#include <QNetworkInformation>

namespace kelvo {

// The system's word on the network and on sleep: regained when the network becomes reachable
// again (Qt's network information, NetworkManager or GLib) and when logind reports a resume.
// Either source may be missing; then it simply never speaks.
class SystemConnectivity : public Connectivity {
    Q_OBJECT
public:
    using Connectivity::Connectivity;

    // Loads the sources; costly enough to wait until the first frame is up.
    void start();

private Q_SLOTS:
    void onPrepareForSleep(bool sleeping);

private:
    void onReachabilityChanged(QNetworkInformation::Reachability reachability);

    QNetworkInformation::Reachability m_reachability = QNetworkInformation::Reachability::Unknown;
};

} // namespace kelvo
