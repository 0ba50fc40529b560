#include "HashWorkers.h"

#include <sys/resource.h>
#include <unistd.h>

namespace kelvo::server {

HashWorkers::HashWorkers(int threads, QObject* parent) : QObject(parent), m_threads(threads) {
    m_lowPriority.setMaxThreadCount(threads);
    m_normalPriority.setMaxThreadCount(threads);
}

void HashWorkers::yieldToRequests() {
    // Niceness is per thread on Linux; a failure leaves the thread as it was, which is harmless.
    thread_local const bool niced = setpriority(PRIO_PROCESS, ::gettid(), 19) == 0;
    (void)niced;
}

void HashWorkers::enqueue(Kind kind, std::function<void()> task) {
    const Priority priority = kind == Kind::cleanSignIn ? Priority::normal : Priority::lowest;
    std::lock_guard lock(m_mutex);
    m_queue.push(kind, std::move(task));
    // A thread at work takes hashes until the queue gives it none, and gives up its place under
    // this lock: while all places of this priority are taken, a thread holding one is sure to
    // come to this hash (or find it taken). Never more threads than places, nor runs waiting.
    int& working = m_working[int(priority)];
    if (working < m_threads) {
        ++working;
        (priority == Priority::normal ? m_normalPriority : m_lowPriority).start([this, priority] {
            work(priority);
        });
    }
}

void HashWorkers::work(Priority priority) {
    if (priority == Priority::lowest) {
        yieldToRequests();
    }
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard lock(m_mutex);
            task = m_stopping ? nullptr : m_queue.take(priority);
            if (!task) {
                --m_working[int(priority)];
                return;
            }
        }
        task();
    }
}

HashWorkers::~HashWorkers() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_lowPriority.waitForDone();
    m_normalPriority.waitForDone();
}

} // namespace kelvo::server
