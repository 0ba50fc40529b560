#include "HashQueue.h"

namespace kelvo::server {

void HashQueue::push(Kind kind, Task task) {
    switch (kind) {
    case Kind::cleanSignIn:
        m_cleanSignIns.push_back(std::move(task));
        break;
    case Kind::signIn:
        m_signIns.push_back(std::move(task));
        break;
    case Kind::registration:
        m_registrations.push_back(std::move(task));
        break;
    }
}

std::deque<HashQueue::Task>& HashQueue::next(Priority priority) {
    if ((m_started + 1) % 4 == 0 && !m_registrations.empty()) {
        return m_registrations;
    }
    if (priority == Priority::normal) {
        return m_cleanSignIns;
    }
    return m_signIns.empty() ? m_registrations : m_signIns;
}

HashQueue::Task HashQueue::take(Priority priority) {
    std::deque<Task>& queue = next(priority);
    if (queue.empty()) {
        return {};
    }
    ++m_started;
    Task task = std::move(queue.front());
    queue.pop_front();
    return task;
}

} // namespace kelvo::server
