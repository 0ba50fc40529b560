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

HashQueue::Task HashQueue::take() {
    const bool registrationsTurn = ++m_taken % 4 == 0 && !m_registrations.empty();
    std::deque<Task>& queue = registrationsTurn         ? m_registrations
                              : !m_cleanSignIns.empty() ? m_cleanSignIns
                              : !m_signIns.empty()      ? m_signIns
                                                        : m_registrations;
    if (queue.empty()) {
        return {};
    }
    Task task = std::move(queue.front());
    queue.pop_front();
    return task;
}

} // namespace kelvo::server
