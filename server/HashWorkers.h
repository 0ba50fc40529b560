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
//
// Two sets of `threads` threads take the hashes as HashQueue gives them. Those at the lowest
// priority run what guessing fills, so answering everyone else comes first. Those at normal
// priority run clean sign-ins (and registrations on their turn), so an honest sign-in starts at
// once and gets its fair share of the processor whatever else runs (beside any other work, the
// lowest priority gets next to nothing). A client with thousands of addresses can make its tries
// clean, one per address and window; its checks then share the processor with the answering of
// requests as any busy process would, and registrations still get their turns.
class HashWorkers : public QObject {
    Q_OBJECT
public:
    // Which threads take a hash, and in which order: see HashQueue.
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
    using Priority = HashQueue::Priority;

    // Lowers the calling thread to the lowest priority, for good: raising it again would take a
    // privilege the server does not have, hence two sets of threads.
    static void yieldToRequests();
    void enqueue(Kind kind, std::function<void()> task);
    // On a thread of `priority`: runs what HashQueue gives it until it gives nothing.
    void work(Priority priority);

    static constexpr int maxUnderWay = 64;

    QThreadPool m_lowPriority;
    QThreadPool m_normalPriority;
    int m_threads;
    int m_underWay = 0; // on this object's thread
    std::function<void()> m_gate;
    std::mutex m_mutex; // guards what follows
    HashQueue m_queue;
    // Threads of each priority working through the queue, at most m_threads each.
    int m_working[2] = {0, 0};
    bool m_stopping = false;
};

} // namespace kelvo::server
