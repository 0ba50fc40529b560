#pragma once

#include "HashQueue.h"

#include <QObject>
#include <QThread>
#include <QThreadPool>

#include <functional>
#include <mutex>

namespace kelvo::server {

// Runs password hashing on threads of its own, so a sign-in never holds up other requests; each
// result comes back on the thread this object lives on.
class HashWorkers : public QObject {
    Q_OBJECT
public:
    // In which order waiting hashes start: see HashQueue.
    using Kind = HashQueue::Kind;

    explicit HashWorkers(int threads = QThread::idealThreadCount(), QObject* parent = nullptr);
    // Work not yet started is dropped; work under way is waited for.
    ~HashWorkers() override;

    // Tests hold a hash here to see other requests served meanwhile (set before any run).
    void setGate(std::function<void()> gate) { m_gate = std::move(gate); }

    // Whether as much work waits as may: more is to be turned away until some is done.
    // Registrations get half the places, so a stream of them cannot turn sign-ins away.
    bool isFull(Kind kind) const {
        return m_underWay >= (kind == Kind::registration ? maxUnderWay / 2 : maxUnderWay);
    }

    // Runs `work` on a hashing thread when its turn comes, then `done` with its result here.
    template <typename Work, typename Done> void run(Kind kind, Work work, Done done) {
        ++m_underWay;
        enqueue(kind, [this, work = std::move(work), done = std::move(done)] {
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
        });
    }

private:
    // Hashing threads run at the lowest priority: guessing fills them, and answering everyone
    // else comes first.
    static void yieldToRequests();
    void enqueue(Kind kind, std::function<void()> task);
    // On a hashing thread: takes the task whose turn it is and runs it.
    void runNext();

    static constexpr int maxUnderWay = 64;

    QThreadPool m_pool;
    int m_underWay = 0; // on this object's thread
    std::function<void()> m_gate;
    std::mutex m_mutex; // guards what follows
    HashQueue m_queue;
};

} // namespace kelvo::server
