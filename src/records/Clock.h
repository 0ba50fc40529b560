#pragma once

#include <QDateTime>

#include <optional>

namespace kelvo {

// The one source of "now" for elapsed-time rules, so tests can fix the time instead of waiting.
class Clock {
public:
    static QDateTime now();
    static void setFixedNow(std::optional<QDateTime> now);
};

} // namespace kelvo
