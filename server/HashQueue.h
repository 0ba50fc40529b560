#pragma once

#include <deque>
#include <functional>

namespace kelvo::server {

// The password hashes waiting for a thread, and which of them starts next.
//
// Clean sign-ins (from an address and for an account without recent failures) go first, then
// the other sign-ins: guessing always has recent failures, so an honest sign-in waits for a
// thread to come free (and for clean sign-ins ahead of it), never behind the queue of guesses.
// Every fourth hash to start is a waiting registration's: no stream of sign-ins, clean or not,
// can stop registrations. Not thread-safe: its owner guards it.
class HashQueue {
public:
    enum class Kind { cleanSignIn, signIn, registration };
    using Task = std::function<void()>;

    void push(Kind kind, Task task);
    // The task whose turn it is, taken off the queue; an empty one when none waits.
    Task take();

private:
    std::deque<Task> m_cleanSignIns;
    std::deque<Task> m_signIns;
    std::deque<Task> m_registrations;
    unsigned m_taken = 0;
};

} // namespace kelvo::server
