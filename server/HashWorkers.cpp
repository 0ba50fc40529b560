#include "HashWorkers.h"

#include <sys/resource.h>
#include <unistd.h>

namespace kelvo::server {

HashWorkers::HashWorkers(int threads, QObject* parent) : QObject(parent) {
    m_pool.setMaxThreadCount(threads);
}

void HashWorkers::yieldToRequests() {
    // Niceness is per thread on Linux; a failure leaves the thread as it was, which is harmless.
    thread_local const bool niced = setpriority(PRIO_PROCESS, ::gettid(), 19) == 0;
    (void)niced;
}

void HashWorkers::enqueue(Kind kind, std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push(kind, std::move(task));
    }
    // One run per task queued, each taking whichever task's turn it is when it starts.
    m_pool.start([this] { runNext(); });
}

void HashWorkers::runNext() {
    std::function<void()> task;
    {
        std::lock_guard lock(m_mutex);
        task = m_queue.take();
    }
    if (task) { // always: one run is started per task queued
        task();
    }
}

HashWorkers::~HashWorkers() {
    m_pool.clear();
    m_pool.waitForDone();
}

} // namespace kelvo::server
