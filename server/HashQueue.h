#pragma once

#include <deque>
#include <functional>

namespace kelvo::server {

// The password hashes waiting for a thread, and which of them a thread that comes free takes.
//
// Every fourth hash to start is a waiting registration's, whichever thread starts it: no stream
// of sign-ins, clean or not, stops registrations. Otherwise a thread at normal priority takes
// the first clean sign-in (from an address and for an account without recent failures), and a
// thread at the lowest priority the first other sign-in, else the first registration. Guessing
// has recent failures from its first miss on, so guesses neither run at normal priority nor
// stand before an honest sign-in; and a clean sign-in is never left to the lowest priority,
// where any other work on the machine would hold it up. Not thread-safe: its owner guards it.
class HashQueue {
public:
    enum class Kind { cleanSignIn, signIn, registration };
    enum class Priority { normal, lowest };
    using Task = std::function<void()>;

    void push(Kind kind, Task task);
    // What a thread of `priority` is to run next, taken off the queue; an empty task when it
    // may take none of those waiting.
    Task take(Priority priority);

private:
    // The queue a thread of `priority` takes from now (maybe an empty one).
    std::deque<Task>& next(Priority priority);

    std::deque<Task> m_cleanSignIns;
    std::deque<Task> m_signIns;
    std::deque<Task> m_registrations;
    unsigned m_started = 0;
};

} // namespace kelvo::server
