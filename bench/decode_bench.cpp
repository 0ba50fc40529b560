// Strict decoding of a 10,000-entry entry list against Qt's JSON parser alone on the same bytes.
// Prints the median times and their ratio; the goal is a ratio of at most 2.
#include "records/TimeEntriesResponse.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kelvo;

namespace {

QByteArray entryList(int count) {
    QByteArray json = "{\"entries\":[";
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            json += ',';
        }
        const QByteArray n = QByteArray::number(i);
        json +=
            "{\"id\":\"cm" + n + "x7k2\",\"description\":\"Work item " + n +
            "\",\"startTime\":\"2025-03-01T10:00:00.000Z\",\"endTime\":\"2025-03-01T11:30:00."
            "000Z\","
            "\"duration\":5400,\"isRunning\":false,\"hourlyRateSnapshot\":42.5,"
            "\"projectId\":\"p1\",\"taskId\":\"t1\",\"userId\":\"u1\","
            "\"createdAt\":\"2025-03-01T10:00:00.000Z\",\"updatedAt\":\"2025-03-01T11:30:00.000Z\","
            "\"project\":{\"id\":\"p1\",\"name\":\"Website\",\"color\":\"#10B981\"},"
            "\"task\":{\"id\":\"t1\",\"name\":\"Design\"}}";
    }
    json += "],\"pagination\":{\"page\":1,\"limit\":10000,\"total\":10000,\"pages\":1}}";
    return json;
}

// Median time of `decode` over `runs` runs after one warm-up. As in the program, a new list is
// decoded while the previous one is still held, and the previous one is freed outside the clock,
// so the time is that of producing the value. Both sides free Qt's document inside the timed
// part: the strict decoder does not keep it.
template <class F> double medianMs(int runs, F&& decode) {
    auto held = decode();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        auto fresh = decode();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        std::swap(held, fresh); // the older result is freed here, after the clock stopped
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QByteArray json = entryList(10'000);
    const int runs = 21;

    const double parseOnly =
        medianMs(runs, [&] { return QJsonDocument::fromJson(json).isObject(); });
    const double strict =
        medianMs(runs, [&] { return JsonReader::decode<TimeEntriesResponse>(json); });
    const bool decodes = JsonReader::decode<TimeEntriesResponse>(json).has_value();
    std::printf("bytes: %lld\n", static_cast<long long>(json.size()));
    std::printf("QJsonDocument::fromJson alone: %.2f ms (median of %d)\n", parseOnly, runs);
    std::printf("strict decode (parse + read): %.2f ms (median of %d)\n", strict, runs);
    std::printf("ratio: %.2f (goal: at most 2.00)\n", strict / parseOnly);
    return decodes ? 0 : 1;
}
