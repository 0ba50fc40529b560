#include "EntryPager.h"

#include "api/APIClient.h"

#include <QSet>

namespace kelvo {

namespace {

// However small the server's pages, a range is read in a bounded number of requests.
constexpr qint64 maximumPages = 2 * EntryPager::maximumEntries / EntryPager::pageSize;

// Appends the entries not seen before; false when the entries are beyond the maximum.
bool keepNew(EntryPager::Entries& kept, QSet<QString>& ids, QList<TimeEntry>&& page) {
    for (TimeEntry& entry : page) {
        if (ids.contains(entry.id)) {
            continue;
        }
        if (kept.entries.size() == EntryPager::maximumEntries) {
            kept.truncated = true;
            return false;
        }
        ids.insert(entry.id);
        kept.entries.append(std::move(entry));
    }
    return true;
}

} // namespace

std::pair<QDateTime, QDateTime> EntryPager::requestSpan(QDate from, QDate to,
                                                       const QTimeZone& zone) {
    return {from.addDays(-1).startOfDay(zone), to.addDays(1).startOfDay(zone)};
}

QString EntryPager::instantText(const QDateTime& instant) {
    return instant.toUTC().toString(Qt::ISODateWithMs);
}

QCoro::Task<std::expected<EntryPager::Entries, ActionError>>
EntryPager::load(APIClient* client, QDateTime from, QDateTime to, PageHandler onPage) {
    Entries kept;
    QSet<QString> ids;
    TimeEntriesQuery query{.startDate = instantText(from), .endDate = instantText(to),
                           .limit = pageSize};
    for (qint64 page = 1;; ++page) {
        if (page > maximumPages) {
            kept.truncated = true;
            break;
        }
        query.page = page;
        auto answer = co_await client->getTimeEntriesPage(query);
        if (!answer) {
            co_return std::unexpected(ActionError::of(answer.error()));
        }
        const qsizetype count = answer->entries.size();
        const bool more = keepNew(kept, ids, std::move(answer->entries));
        if (onPage && !onPage(kept)) {
            co_return kept;
        }
        // The server may serve fewer per page than asked; a page short of its own size is the last.
        const qint64 served = answer->pagination ? std::min(answer->pagination->limit, pageSize)
                                                 : pageSize;
        const bool last = count == 0 || count < served ||
                          (answer->pagination && page >= answer->pagination->pages);
        if (!more || last) {
            break;
        }
    }
    auto current = co_await client->getCurrentTimeEntry();
    if (!current) {
        co_return std::unexpected(ActionError::of(current.error()));
    }
    if (*current && !ids.contains((*current)->id) && !kept.truncated) {
        if (kept.entries.size() == maximumEntries) {
            kept.truncated = true;
            co_return kept;
        }
        kept.entries.append(std::move(**current));
        if (onPage) {
            onPage(kept);
        }
    }
    co_return kept;
}

} // namespace kelvo
