#pragma once

#include <QObject>
#include <QThreadPool>

#include <functional>

namespace kelvo::server {

// Runs password hashing on threads of its own, so a sign-in never holds up other requests; each
// result comes back on the thread this object lives on.
class HashWorkers : public QObject {
    Q_OBJECT
public:
    explicit HashWorkers(QObject* parent = nullptr);
    // Work not yet started is dropped; work under way is waited for.
    ~HashWorkers() override;

    // Tests hold a hash here to see other requests served meanwhile (set before any run).
    void setGate(std::function<void()> gate) { m_gate = std::move(gate); }

    // Whether as much work waits as may: more is to be turned away until some is done. Work of
    // lower priority gets half the places, so it cannot crowd out the rest.
    bool isFull(int priority = 0) const {
        return m_underWay >= (priority > 0 ? maxUnderWay : maxUnderWay / 2);
    }

    // Runs `work` on a hashing thread, then `done` with its result here. Work with a higher
    // `priority` starts first.
    template <typename Work, typename Done> void run(Work work, Done done, int priority = 0) {
        ++m_underWay;
        m_pool.start(
            [this, work = std::move(work), done = std::move(done)] {
                yieldToRequests();
                if (m_gate) {
                    m_gate();
                }
                QMetaObject::invokeMethod(
                    this,
                    [this, done, result = work()] {
                        --m_underWay;
                        done(result);
                    },
                    Qt::QueuedConnection);
            },
            priority);
    }

private:
    // Hashing threads run at the lowest priority: guessing fills them, and answering everyone
    // else comes first.
    static void yieldToRequests();

    static constexpr int maxUnderWay = 64;

    QThreadPool m_pool;
    int m_underWay = 0; // on this object's thread
    std::function<void()> m_gate;
};

} // namespace kelvo::server
