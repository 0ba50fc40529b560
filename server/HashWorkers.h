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

    // Tests hold a hash here to see other requests served meanwhile.
    void setGate(std::function<void()> gate) { m_gate = std::move(gate); }

    template <typename Work, typename Done> void run(Work work, Done done) {
        m_pool.start([this, work = std::move(work), done = std::move(done)] {
            yieldToRequests();
            if (m_gate) {
                m_gate();
            }
            QMetaObject::invokeMethod(
                this, [done, result = work()] { done(result); }, Qt::QueuedConnection);
        });
    }

private:
    // Hashing threads run at the lowest priority: guessing fills them, and answering everyone
    // else comes first.
    static void yieldToRequests();

    QThreadPool m_pool;
    std::function<void()> m_gate;
};

} // namespace kelvo::server
