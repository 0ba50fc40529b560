#include "Clock.h"

namespace kelvo {

namespace {
std::optional<QDateTime>& fixedNow() {
    static std::optional<QDateTime> value;
    return value;
}
} // namespace

QDateTime Clock::now() {
    return fixedNow() ? *fixedNow() : QDateTime::currentDateTimeUtc();
}

void Clock::setFixedNow(std::optional<QDateTime> now) {
    fixedNow() = std::move(now);
}

} // namespace kelvo
