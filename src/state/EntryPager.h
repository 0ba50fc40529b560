#pragma once

#include "ActionError.h"
#include "records/TimeEntry.h"

#include <QCoroTask>
#include <QDateTime>
#include <QList>
#include <QTimeZone>

#include <expected>
#include <functional>

namespace kelvo {

class APIClient;

// Reads every entry that starts within a span of time, page after page, and the running entry
// (which may have started before the span). Entries move between pages while the user works, so
// each id is kept once. Past maximumEntries the reading stops and says so.
class EntryPager {
public:
    static constexpr qint64 pageSize = 100;
    static constexpr qsizetype maximumEntries = 10'000;

    struct Entries {
        QList<TimeEntry> entries; // in the order they came
        bool truncated = false;   // more than maximumEntries
    };
    // After each page, with what has come so far; false stops the reading (the answer no longer
    // matters to the caller).
    using PageHandler = std::function<bool(const Entries&)>;

    // From `from` to `to` inclusive. The client outlives the reading.
    static QCoro::Task<std::expected<Entries, ActionError>>
    load(APIClient* client, QDateTime from, QDateTime to, PageHandler onPage = {});
    // What to ask for to get every entry that reaches into the local dates `from` to `to`: the
    // server picks entries by their start, so one that began the day before is asked for too.
    static std::pair<QDateTime, QDateTime> requestSpan(QDate from, QDate to, const QTimeZone& zone);
    // "2026-11-29T23:00:00.000Z", as the server reads an instant.
    static QString instantText(const QDateTime& instant);
};

} // namespace kelvo
