#include "HashWorkers.h"

namespace kelvo::server {

HashWorkers::HashWorkers(QObject* parent) : QObject(parent) {}

HashWorkers::~HashWorkers() {
    m_pool.clear();
    m_pool.waitForDone();
}

} // namespace kelvo::server
