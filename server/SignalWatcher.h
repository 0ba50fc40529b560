#pragma once

#include <QObject>

class QSocketNotifier;

namespace kelvo::server {

// Turns SIGINT and SIGTERM into a signal on the event loop, so the server shuts down through
// its normal path (the database is closed cleanly) instead of dying mid-request.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    SignalWatcher();
    ~SignalWatcher() override;

Q_SIGNALS:
    void terminationRequested();

private:
    QSocketNotifier* m_notifier;
};

} // namespace kelvo::server
