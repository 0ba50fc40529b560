#pragma once

#include <QDateTime>

namespace kelvo {

// Where "now" comes from for the elapsed-time rules. The program uses the system's clock; tests
// and tools hand the state objects a clock they set, so nothing waits for real time to pass.
class Clock {
public:
    virtual ~Clock() = default;
    // The current instant in UTC.
    virtual QDateTime now() const;
    static Clock* system();
};

} // namespace kelvo
