#pragma once

#include <deque>
#include <functional>

namespace kelvo::server {

// The password hashes waiting for a thread, and which of them starts next. Sign-ins go first,
// but every fourth hash to start is a waiting registration's: a stream of sign-ins (guessing,
// say) can slow registrations down but never stop them. Not thread-safe: its owner guards it.
class HashQueue {
public:
    enum class Kind { signIn, registration };
    using Task = std::function<void()>;

    void push(Kind kind, Task task);
    // The task whose turn it is, taken off the queue; an empty one when none waits.
    Task take();

private:
    std::deque<Task> m_signIns;
    std::deque<Task> m_registrations;
    unsigned m_taken = 0;
};

} // namespace kelvo::server
