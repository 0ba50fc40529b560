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

Q_SIGNALS:
    void regained();
};

} // namespace kelvo
