#pragma once

#include <QObject>

#include <chrono>

class QTimer;

namespace kelvo {

// logind's word on sleep and shutdown, on the system bus, and a delay inhibitor that holds the
// machine (for at most logind's delay, 5 s) until the running timer's stop has gone out. While
// `setHolding(true)`, an inhibitor is held; on PrepareForSleep(true) or PrepareForShutdown(true)
// `leaving` is said, and the inhibitor is let go by `release()` or after the wait, whichever comes
// first. On resume `resumed` is said; the owner holds again if it still needs to.
class SleepMonitor : public QObject {
    Q_OBJECT
public:
    explicit SleepMonitor(QObject* parent = nullptr);
    ~SleepMonitor() override;

    void start();
    void setHolding(bool holding);
    bool isHolding() const { return m_fd >= 0; }
    // Lets the machine go: the stop is answered.
    void release();
    void setReleaseWait(std::chrono::milliseconds wait);

Q_SIGNALS:
    void leaving();
    void resumed();

private Q_SLOTS:
    void prepareForSleep(bool start);
    void prepareForShutdown(bool start);

private:
    void take();

    bool m_started = false;
    bool m_holding = false;
    bool m_asking = false;
    int m_fd = -1;
    QTimer* m_releaseTimer;
};

} // namespace kelvo
