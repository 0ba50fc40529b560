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
        (kind == Kind::signIn ? m_signIns : m_registrations).push_back(std::move(task));
    }
    // One run per task queued, each taking whichever task's turn it is when it starts.
    m_pool.start([this] { runNext(); });
}

void HashWorkers::runNext() {
    std::function<void()> task;
    {
        std::lock_guard lock(m_mutex);
        const bool registrationsTurn = ++m_started % 4 == 0 && !m_registrations.empty();
        auto& queue = registrationsTurn || m_signIns.empty() ? m_registrations : m_signIns;
        task = std::move(queue.front());
        queue.pop_front();
    }
    task();
}

HashWorkers::~HashWorkers() {
    m_pool.clear();
    m_pool.waitForDone();
}

} // namespace kelvo::server
