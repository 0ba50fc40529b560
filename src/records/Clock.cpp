#include "Clock.h"

namespace kelvo {

QDateTime Clock::now() const {
    return QDateTime::currentDateTimeUtc();
}

Clock* Clock::system() {
    static Clock clock;
    return &clock;
}

} // namespace kelvo
