#include "DemoSeed.h"

#include "Credentials.h"

namespace kelvo::server {

namespace {

struct DemoEntry {
    int daysAgo;
    int startHour;
    int startMinute;
    int minutes;
    int task; // index into the task list
    const char* description;
};

// Spread over the last week, newest last; every entry ends before the seed runs.
const DemoEntry demoEntries[] = {
    {6, 9, 0, 95, 0, "Kick-off and sitemap"}, {6, 11, 0, 120, 1, "Wireframes"},
    {6, 14, 30, 45, 4, "Weekly planning"},    {5, 9, 15, 150, 1, "Homepage layout"},
    {5, 13, 0, 90, 2, "Contact form"},        {5, 15, 0, 30, 4, "Email triage"},
    {4, 10, 0, 180, 3, "Push notifications"}, {4, 14, 0, 60, 3, "Crash on resume"},
    {3, 9, 30, 120, 2, "Blog templates"},     {3, 13, 30, 75, 4, "Invoicing"},
    {3, 15, 0, 40, 1, "Design review notes"}, {2, 9, 0, 200, 3, "Offline sync"},
    {2, 14, 0, 55, 2, "Accessibility pass"},  {1, 8, 45, 110, 1, "Style guide"},
    {1, 11, 0, 65, 4, "Team sync"},           {1, 13, 15, 140, 3, "Release build"},
    {0, 0, 10, 25, 4, "Late-night fix"},      {0, 0, 40, 15, 2, "Deploy check"},
    {0, 1, 0, 20, 0, "Notes for tomorrow"},   {0, 1, 30, 10, 4, "Inbox zero"},
};

} // namespace

std::optional<QString> DemoSeed::insertProject(const QString& userId, const QString& name,
                                               const QString& color, QVariant rate) {
    const QString id = Credentials::newId();
    const qint64 now = m_context.nowMs();
    if (!m_context.db.exec(QStringLiteral("INSERT INTO projects (id, user_id, name, color, "
                                          "hourly_rate, is_active, created_at, updated_at) "
                                          "VALUES (?, ?, ?, ?, ?, 1, ?, ?)"),
                           {id, userId, name, color, rate, now, now})) {
        return std::nullopt;
    }
    return id;
}

std::optional<QString> DemoSeed::insertTask(const QString& userId, const QString& projectId,
                                            const QString& name, QVariant rate, bool completed) {
    const QString id = Credentials::newId();
    const qint64 now = m_context.nowMs();
    if (!m_context.db.exec(QStringLiteral("INSERT INTO tasks (id, user_id, project_id, name, "
                                          "is_completed, hourly_rate, created_at, updated_at) "
                                          "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                           {id, userId, projectId, name, completed ? 1 : 0, rate, now, now})) {
        return std::nullopt;
    }
    return id;
}

bool DemoSeed::run() {
    Transaction transaction(m_context.db);
    const auto userId =
        m_accounts.createUser(QStringLiteral("Demo User"), email(), password(), 40.0);
    if (!userId) {
        return true; // already seeded
    }
    if (userId->isEmpty() || !transaction.isOpen()) {
        return false;
    }
    const auto website =
        insertProject(*userId, QStringLiteral("Website Redesign"), QStringLiteral("#10B981"), 85.0);
    const auto mobile =
        insertProject(*userId, QStringLiteral("Mobile App"), QStringLiteral("#3B82F6"), 95.0);
    const auto internal =
        insertProject(*userId, QStringLiteral("Internal"), QStringLiteral("#F59E0B"), QVariant());
    if (!website || !mobile || !internal) {
        return false;
    }
    const std::optional<QString> tasks[] = {
        insertTask(*userId, *website, QStringLiteral("Discovery"), QVariant(), true),
        insertTask(*userId, *website, QStringLiteral("Visual design"), 110.0, false),
        insertTask(*userId, *website, QStringLiteral("Frontend build"), QVariant(), false),
        insertTask(*userId, *mobile, QStringLiteral("iOS features"), QVariant(), false),
        insertTask(*userId, *internal, QStringLiteral("Admin"), QVariant(), false),
    };
    const QString projectOfTask[] = {*website, *website, *website, *mobile, *internal};
    const QVariant rateOfTask[] = {85.0, 110.0, 85.0, 95.0, 40.0};
    const QDate today = QDateTime::fromMSecsSinceEpoch(m_context.nowMs(), Qt::UTC).date();
    const qint64 now = m_context.nowMs();
    for (const DemoEntry& entry : demoEntries) {
        if (!tasks[entry.task]) {
            return false;
        }
        // Today's entries sit just after midnight, so they lie in the past whenever the seed runs.
        const qint64 start = QDateTime(today.addDays(-entry.daysAgo),
                                       QTime(entry.startHour, entry.startMinute), Qt::UTC)
                                 .toMSecsSinceEpoch();
        const qint64 end = std::min(start + entry.minutes * 60'000LL, now);
        if (start >= now) {
            continue;
        }
        if (!m_context.db.exec(
                QStringLiteral("INSERT INTO time_entries (id, user_id, project_id, task_id, "
                               "description, start_ms, end_ms, hourly_rate_snapshot, created_at, "
                               "updated_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {Credentials::newId(), *userId, projectOfTask[entry.task], *tasks[entry.task],
                 QString::fromUtf8(entry.description), start, end, rateOfTask[entry.task], start,
                 end})) {
            return false;
        }
    }
    return transaction.commit();
}

} // namespace kelvo::server
