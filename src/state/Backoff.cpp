#include "Backoff.h"

#include <QTimer>

namespace kelvo {

Backoff::Backoff(std::chrono::milliseconds first, std::chrono::milliseconds longest,
                 QObject* parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
    , m_first(first)
    , m_longest(longest) {
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_timer->start(std::min(m_timer->intervalAsDuration() * 2, m_longest));
        Q_EMIT due();
    });
}

void Backoff::setWaits(std::chrono::milliseconds first, std::chrono::milliseconds longest) {
    m_first = first;
    m_longest = longest;
}

bool Backoff::isActive() const {
    return m_timer->isActive();
}

void Backoff::start() {
    if (!m_timer->isActive()) {
        m_timer->start(m_first);
    }
}

void Backoff::stop() {
    m_timer->stop();
}

} // namespace kelvo
