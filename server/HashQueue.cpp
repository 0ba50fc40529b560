#include "HashQueue.h"

namespace kelvo::server {

void HashQueue::push(Kind kind, Task task) {
    (kind == Kind::signIn ? m_signIns : m_registrations).push_back(std::move(task));
}

HashQueue::Task HashQueue::take() {
    const bool registrationsTurn = ++m_taken % 4 == 0 && !m_registrations.empty();
    auto& queue = registrationsTurn || m_signIns.empty() ? m_registrations : m_signIns;
    if (queue.empty()) {
        return {};
    }
    Task task = std::move(queue.front());
    queue.pop_front();
    return task;
}

} // namespace kelvo::server
