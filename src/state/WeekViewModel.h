#pragma once

#include "records/TimeTally.h"

#include <QCoroTask>
#include <QObject>
#include <QTimer>

#include <optional>

namespace kelvo {

class APIClient;
class Clock;
class Preferences;

// One ISO week (Monday to Sunday) of the signed-in user's entries, in the machine's time zone:
// what each day and each project adds up to, shown page by page as the entries come. A running
// entry counts up to now; while live, that is redone each minute. Moving to another week drops
// what a load of the old one still brings.
class WeekViewModel : public QObject {
    Q_OBJECT
public:
    WeekViewModel(APIClient* client, Preferences* preferences, Clock* clock,
                  QObject* parent = nullptr);

    QDate monday() const { return m_tally.from(); }
    QDate today() const;
    bool isThisWeek() const;
    const TimeTally& tally() const { return m_tally; }
    // The entries that start within the week, oldest first: what an export writes.
    QList<TimeEntry> startingEntries() const;
    // Those entries as CSV, a running one counted up to now.
    QByteArray csv() const;
    bool isLoading() const { return m_isLoading; }
    const std::optional<QString>& errorMessage() const { return m_errorMessage; }
    // Whether the week holds more entries than are read at once.
    bool isTruncated() const { return m_isTruncated; }
    int weeklyTargetHours() const;
    // The day's share of the weekly target: the target over the work days, 0 on other days.
    double targetHours(QDate date) const;

    // Loads the shown week again.
    QCoro::Task<void> load();
    // `weeks` back (negative) or forward, and loads it.
    QCoro::Task<void> step(int weeks);
    QCoro::Task<void> showThisWeek();
    // Whether a running entry is counted up to now once a minute.
    void setLive(bool live);
    // Counts every entry again up to now, as each minute does while live.
    void recount();

Q_SIGNALS:
    void weekChanged();
    void tallyChanged();
    void isLoadingChanged();
    void errorMessageChanged();
    void weeklyTargetChanged();

private:
    void showWeekOf(QDate date);
    void tallyNew(qsizetype from);

    APIClient* m_client;
    Preferences* m_preferences;
    Clock* m_clock;
    TimeTally m_tally;
    QDate m_today; // as last shown
    QList<TimeEntry> m_entries;
    bool m_isLoading = false;
    bool m_isTruncated = false;
    std::optional<QString> m_errorMessage;
    quint64 m_generation = 0;
    QTimer m_minute;
};

} // namespace kelvo
