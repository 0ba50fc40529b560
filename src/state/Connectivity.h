#pragma once

#include <QObject>

namespace kelvo {

// Tells when the network has come back or the machine has woken up: a good moment to retry
// what a missing network made fail. It never holds a request back. The program's source
// watches the system; tests emit `regained` themselves.
class Connectivity : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Whether the system says there is no network at all (not merely that it does not know).
    bool isKnownOffline() const { return m_knownOffline; }
    void setKnownOffline(bool offline) {
        if (m_knownOffline != offline) {
            m_knownOffline = offline;
            Q_EMIT knownOfflineChanged();
        }
    }

Q_SIGNALS:
    void regained();
    void knownOfflineChanged();

private:
    bool m_knownOffline = false;
};

} // namespace kelvo
