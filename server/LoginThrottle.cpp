#include "LoginThrottle.h"

#include <QCryptographicHash>

#include <algorithm>

namespace kelvo::server {

namespace {
// The first wait once the limit is reached; it doubles with each failure after that.
constexpr qint64 firstDelayMs = 60 * 1000;
} // namespace

LoginThrottle::LoginThrottle(Limits limits, std::function<qint64()> nowMs)
    : m_limits(limits)
    , m_nowMs(std::move(nowMs)) {}

qint64 LoginThrottle::waitMs(const QString& key) const {
    const QByteArray digest = slot(key);
    const auto found = m_records.constFind(digest);
    const qint64 now = m_nowMs();
    const bool counted =
        found != m_records.constEnd() && now - found->lastFailureMs <= m_limits.windowMs;
    const int failures = counted ? found->failures : 0;
    const qint64 blockedMs =
        found == m_records.constEnd() ? 0 : std::max<qint64>(0, found->blockedUntilMs - now);
    // Tries under way that could reach the limit: the next waits until they are decided.
    const int underWay = m_underWay.value(digest);
    if (blockedMs == 0 && underWay > 0 && failures + underWay >= m_limits.attempts) {
        return 1000;
    }
    return blockedMs;
}

bool LoginThrottle::hasRecentFailures(const QString& key) const {
    const auto found = m_records.constFind(slot(key));
    const qint64 now = m_nowMs();
    return found != m_records.constEnd() && found->failures > 0 &&
           (now - found->lastFailureMs <= m_limits.windowMs || found->blockedUntilMs > now);
}

bool LoginThrottle::hasTryUnderWay(const QString& key) const {
    return m_underWay.contains(slot(key));
}

void LoginThrottle::begin(const QString& key) {
    ++m_underWay[slot(key)];
}

void LoginThrottle::end(const QString& key) {
    const auto found = m_underWay.find(slot(key));
    if (found != m_underWay.end() && --*found <= 0) {
        m_underWay.erase(found);
    }
}

QByteArray LoginThrottle::slot(const QString& key) {
    // A fixed-size digest: a key is whatever a client sent, of any length.
    return QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256);
}

void LoginThrottle::recordFailure(const QString& key) {
    const qint64 now = m_nowMs();
    forgetStale(now);
    Record& record = m_records[slot(key)];
    // A quiet window starts the count afresh; a wait does not, so waiting it out and guessing
    // again goes on doubling the wait.
    if (record.failures == 0 || now - record.lastFailureMs > m_limits.windowMs) {
        record = Record{0, now, now, 0};
    }
    ++record.failures;
    record.lastFailureMs = now;
    const int over = record.failures - m_limits.attempts;
    if (over >= 0) {
        const qint64 delay =
            over >= 30 ? m_limits.maxDelayMs
                       : std::min(m_limits.maxDelayMs, firstDelayMs << std::min(over, 30));
        record.blockedUntilMs = now + delay;
    }
}

void LoginThrottle::clear(const QString& key) {
    m_records.remove(slot(key));
}

void LoginThrottle::forgetStale(qint64 now) {
    if (m_records.size() < m_limits.maxKeys) {
        return;
    }
    // Full: what is neither blocked nor within its window goes; then, if need be, the stalest.
    for (auto it = m_records.begin(); it != m_records.end();) {
        const bool stale = it->blockedUntilMs <= now && now - it->lastFailureMs > m_limits.windowMs;
        it = stale ? m_records.erase(it) : std::next(it);
    }
    while (m_records.size() >= m_limits.maxKeys) {
        auto stalest = std::min_element(
            m_records.begin(), m_records.end(),
            [](const Record& a, const Record& b) { return a.lastFailureMs < b.lastFailureMs; });
        m_records.erase(stalest);
    }
}

} // namespace kelvo::server
