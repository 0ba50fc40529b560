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

    // logind's resume: cheap, once the first frame is up.
    void watchSleep();
    // Qt's network information: its backend (GLib's where NetworkManager is absent) weighs some
    // megabytes, so it is loaded once start-up's loads are done.
    void watchNetwork();

private Q_SLOTS:
    void onPrepareForSleep(bool sleeping);

private:
    void onReachabilityChanged(QNetworkInformation::Reachability reachability);

    QNetworkInformation::Reachability m_reachability = QNetworkInformation::Reachability::Unknown;
};

} // namespace kelvo
