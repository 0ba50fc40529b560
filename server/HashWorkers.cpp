#include "HashWorkers.h"

#include <sys/resource.h>
#include <unistd.h>

namespace kelvo::server {

HashWorkers::HashWorkers(QObject* parent) : QObject(parent) {}

void HashWorkers::yieldToRequests() {
    // Niceness is per thread on Linux; a failure leaves the thread as it was, which is harmless.
    thread_local const bool niced = setpriority(PRIO_PROCESS, ::gettid(), 19) == 0;
    (void)niced;
}

HashWorkers::~HashWorkers() {
    m_pool.clear();
    m_pool.waitForDone();
}

} // namespace kelvo::server
