#pragma once

#include <QObject>

#include <chrono>

class QTimer;

namespace kelvo {

// Says when to try again after a failure: after the first wait, then after waits twice as long
// each time, up to the longest, until stopped.
class Backoff : public QObject {
    Q_OBJECT
public:
    Backoff(std::chrono::milliseconds first, std::chrono::milliseconds longest,
            QObject* parent = nullptr);

    void setWaits(std::chrono::milliseconds first, std::chrono::milliseconds longest);
    bool isActive() const;
    // From the first wait, unless already waiting.
    void start();
    void stop();

Q_SIGNALS:
    void due();

private:
    QTimer* m_timer;
    std::chrono::milliseconds m_first;
    std::chrono::milliseconds m_longest;
};

} // namespace kelvo
