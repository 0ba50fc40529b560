#pragma once

#include "records/Clock.h"

namespace kelvo::test {

// A clock that stands still until a test sets or advances it.
class TestClock : public Clock {
public:
    explicit TestClock(QDateTime now) : m_now(std::move(now)) {}
    QDateTime now() const override { return m_now; }
    void set(QDateTime now) { m_now = std::move(now); }
    void advance(qint64 seconds) { m_now = m_now.addSecs(seconds); }

private:
    QDateTime m_now;
};

} // namespace kelvo::test
