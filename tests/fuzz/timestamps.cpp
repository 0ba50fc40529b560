// Timestamps as the server sends them. A parsed time is valid and in UTC; written back as
// milliseconds with "Z" it parses to the same instant; spans between times are never negative.
#include "FuzzSupport.h"

#include "records/Formatting.h"
#include "records/Timestamp.h"

using namespace kelvo;
using namespace kelvo::Timestamp;

namespace {

void readsBack(const std::optional<QDateTime>& parsed, std::optional<QDateTime> (*parse)(QStringView)) {
    if (!parsed) {
        return;
    }
    fuzz::require(parsed->isValid() && parsed->timeSpec() == Qt::UTC, "valid, in UTC");
    const int year = parsed->date().year();
    if (year >= 1 && year <= 9999) {
        const auto again = parse(parsed->toString(Qt::ISODateWithMs));
        fuzz::require(again && *again == *parsed, "written back, the same instant");
    }
    const QDateTime epoch = QDateTime::fromSecsSinceEpoch(0, Qt::UTC);
    const qint64 since = secondsBetween(epoch, *parsed);
    fuzz::require(since >= 0 && secondsBetween(*parsed, epoch) >= 0, "spans never negative");
    elapsedText(since);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(fuzz::bytes(data, size));
    readsBack(parseInternetDateTime(text), parseInternetDateTime);
    readsBack(parseStartTime(text), parseStartTime);
    return 0;
}
