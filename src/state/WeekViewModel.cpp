#include "WeekViewModel.h"

#include "EntryPager.h"
#include "Preferences.h"
#include "Publish.h"
#include "api/APIClient.h"
#include "records/Clock.h"
#include "records/EntryCsv.h"

#include <QPointer>

#include <memory>

namespace kelvo {

namespace {

QDate mondayOf(QDate date) {
    return date.addDays(1 - date.dayOfWeek());
}

TimeTally weekOf(QDate date) {
    const QDate monday = mondayOf(date);
    return TimeTally(monday, monday.addDays(6), QTimeZone::systemTimeZone());
}

} // namespace

WeekViewModel::WeekViewModel(APIClient* client, Preferences* preferences, Clock* clock,
                             QObject* parent)
    : QObject(parent)
    , m_client(client)
    , m_preferences(preferences)
    , m_clock(clock)
    , m_tally(weekOf(clock->now().toLocalTime().date()))
    , m_today(today()) {
    m_minute.setInterval(std::chrono::minutes(1));
    connect(&m_minute, &QTimer::timeout, this, &WeekViewModel::recount);
    connect(m_preferences, &Preferences::weeklyTargetChanged, this,
            &WeekViewModel::weeklyTargetChanged);
}

QDate WeekViewModel::today() const {
    return m_clock->now().toTimeZone(m_tally.zone()).date();
}

bool WeekViewModel::isThisWeek() const {
    return mondayOf(today()) == monday();
}

QList<TimeEntry> WeekViewModel::startingEntries() const {
    return m_tally.startingWithin(m_entries);
}

QByteArray WeekViewModel::csv() const {
    return EntryCsv::document(startingEntries(), m_tally.zone(), m_clock->now());
}

int WeekViewModel::weeklyTargetHours() const {
    return m_preferences->weeklyTargetHours();
}

double WeekViewModel::targetHours(QDate date) const {
    const QList<int>& days = m_preferences->workHours().days;
    if (days.isEmpty() || !days.contains(date.dayOfWeek())) {
        return 0;
    }
    return double(weeklyTargetHours()) / double(days.size());
}

void WeekViewModel::setLive(bool live) {
    if (live) {
        m_minute.start();
    } else {
        m_minute.stop();
    }
}

void WeekViewModel::showWeekOf(QDate date) {
    ++m_generation;
    m_today = today();
    m_tally = weekOf(date);
    m_entries.clear();
    publish(this, m_isTruncated, false, &WeekViewModel::tallyChanged);
    Q_EMIT weekChanged();
}

QCoro::Task<void> WeekViewModel::step(int weeks) {
    showWeekOf(monday().addDays(7 * qint64(weeks)));
    co_await load();
}

QCoro::Task<void> WeekViewModel::showThisWeek() {
    showWeekOf(m_clock->now().toLocalTime().date());
    co_await load();
}

void WeekViewModel::recount() {
    m_tally = TimeTally(m_tally.from(), m_tally.to(), m_tally.zone());
    tallyNew(0);
    if (today() != m_today) {
        m_today = today(); // past midnight: "this week" and today's mark move on
        Q_EMIT weekChanged();
    }
}

void WeekViewModel::tallyNew(qsizetype from) {
    const QDateTime now = m_clock->now();
    for (qsizetype i = from; i < m_entries.size(); ++i) {
        m_tally.add(m_entries.at(i), now);
    }
    Q_EMIT tallyChanged();
}

QCoro::Task<void> WeekViewModel::load() {
    const quint64 generation = ++m_generation;
    publish(this, m_isLoading, true, &WeekViewModel::isLoadingChanged);
    publish(this, m_errorMessage, std::nullopt, &WeekViewModel::errorMessageChanged);
    const auto [from, to] = EntryPager::requestSpan(m_tally.from(), m_tally.to(), m_tally.zone());
    QPointer self(this);
    // What is shown stays until the first page replaces it: a reload does not blank the week.
    auto fresh = std::make_shared<bool>(true);
    const auto onPage = [self, generation, fresh](const EntryPager::Entries& kept) {
        if (!self || generation != self->m_generation) {
            return false;
        }
        if (std::exchange(*fresh, false)) {
            // The zone may have changed since the week was chosen; its dates stay.
            self->m_tally = TimeTally(self->m_tally.from(), self->m_tally.to(),
                                      QTimeZone::systemTimeZone());
            self->m_entries.clear();
        }
        // Entries only ever join at the end: each is copied and counted once.
        const qsizetype tallied = self->m_entries.size();
        for (qsizetype i = tallied; i < kept.entries.size(); ++i) {
            self->m_entries.append(kept.entries.at(i));
        }
        self->m_isTruncated = kept.truncated;
        self->tallyNew(tallied);
        return true;
    };
    const auto result = co_await EntryPager::load(m_client, from, to, onPage);
    if (!self || generation != m_generation) {
        co_return;
    }
    if (!result) {
        publish(this, m_errorMessage, result.error().message, &WeekViewModel::errorMessageChanged);
    } else if (result->truncated != m_isTruncated) {
        publish(this, m_isTruncated, result->truncated, &WeekViewModel::tallyChanged);
    }
    publish(this, m_isLoading, false, &WeekViewModel::isLoadingChanged);
}

} // namespace kelvo
