#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>

namespace kelvo::server {

// Slows password guessing down: after a number of failed sign-ins for one key (an account, a
// client address) within a window, further tries wait, the wait doubling with each further
// failure up to a ceiling. Tries that are made to wait cost no hashing and count for nothing.
class LoginThrottle {
public:
    struct Limits {
        int attempts = 10;
        qint64 windowMs = 15 * 60 * 1000;
        qint64 maxDelayMs = 15 * 60 * 1000;
        // Keys remembered at most; the stalest go first.
        qsizetype maxKeys = 100'000;
    };

    LoginThrottle(Limits limits, std::function<qint64()> nowMs);

    // How long `key` must wait before its next try, in milliseconds; 0 when it may try now.
    qint64 waitMs(const QString& key) const;
    // Whether `key` failed within the window, or still waits out its last failure.
    bool hasRecentFailures(const QString& key) const;
    // Whether a try for `key` is under way.
    bool hasTryUnderWay(const QString& key) const;
    // A try under way counts towards the limit until it ends, failed or not.
    void begin(const QString& key);
    void end(const QString& key);
    void recordFailure(const QString& key);
    void clear(const QString& key);

private:
    struct Record {
        int failures = 0;
        qint64 firstFailureMs = 0;
        qint64 lastFailureMs = 0;
        qint64 blockedUntilMs = 0;
    };

    void forgetStale(qint64 now);
    static QByteArray slot(const QString& key);

    Limits m_limits;
    std::function<qint64()> m_nowMs;
    QHash<QByteArray, Record> m_records;
    QHash<QByteArray, int> m_underWay;
};

} // namespace kelvo::server
