#include "Database.h"

#include "OperatorLog.h"
#include "Validation.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>

#include <algorithm>

namespace kelvo::server {

namespace {

constexpr int schemaVersion = 2;

// Each step moves the schema from version i to i + 1: SQL, or (when null) Database::migrateStep.
const char* const migrations[] = {
    R"(
    CREATE TABLE users (
        id TEXT PRIMARY KEY,
        name TEXT NOT NULL,
        email TEXT NOT NULL,
        email_key TEXT NOT NULL UNIQUE,
        password_hash TEXT NOT NULL,
        default_hourly_rate REAL,
        created_at INTEGER NOT NULL,
        updated_at INTEGER NOT NULL
    );
    CREATE TABLE tokens (
        token_hash TEXT PRIMARY KEY,
        user_id TEXT NOT NULL REFERENCES users(id) ON DELETE CASCADE,
        expires_at INTEGER NOT NULL
    );
    CREATE TABLE projects (
        id TEXT PRIMARY KEY,
        user_id TEXT NOT NULL REFERENCES users(id) ON DELETE CASCADE,
        name TEXT NOT NULL,
        description TEXT,
        color TEXT,
        hourly_rate REAL,
        is_active INTEGER NOT NULL DEFAULT 1,
        created_at INTEGER NOT NULL,
        updated_at INTEGER NOT NULL
    );
    CREATE INDEX projects_by_user ON projects(user_id);
    CREATE TABLE tasks (
        id TEXT PRIMARY KEY,
        user_id TEXT NOT NULL REFERENCES users(id) ON DELETE CASCADE,
        project_id TEXT NOT NULL REFERENCES projects(id) ON DELETE CASCADE,
        name TEXT NOT NULL,
        description TEXT,
        is_completed INTEGER NOT NULL DEFAULT 0,
        hourly_rate REAL,
        created_at INTEGER NOT NULL,
        updated_at INTEGER NOT NULL
    );
    CREATE INDEX tasks_by_project ON tasks(project_id);
    CREATE TABLE time_entries (
        id TEXT PRIMARY KEY,
        user_id TEXT NOT NULL REFERENCES users(id) ON DELETE CASCADE,
        project_id TEXT REFERENCES projects(id) ON DELETE SET NULL,
        task_id TEXT REFERENCES tasks(id) ON DELETE SET NULL,
        description TEXT,
        start_ms INTEGER NOT NULL,
        end_ms INTEGER,
        hourly_rate_snapshot REAL,
        created_at INTEGER NOT NULL,
        updated_at INTEGER NOT NULL
    );
    CREATE INDEX entries_by_user_start ON time_entries(user_id, start_ms DESC);
    CREATE INDEX entries_by_task ON time_entries(task_id);
    CREATE UNIQUE INDEX one_running_entry_per_user ON time_entries(user_id) WHERE end_ms IS NULL;
    )",
    // E-mail keys become composed and case-folded (they were lower-cased only).
    nullptr,
};
static_assert(std::size(migrations) == schemaVersion);

void logError(const QString& what, const QSqlError& error) {
    OperatorLog::write(what + QStringLiteral(": ") + error.text());
}

// Makes `folder` and whichever of its parents are missing, each the user's alone from the
// start: created without access for others, then set to 0700 whatever the umask took away.
bool makePrivateFolders(const QString& folder) {
    QStringList missing;
    for (QString at = folder; !QFileInfo::exists(at); at = QFileInfo(at).absolutePath()) {
        missing.prepend(at);
    }
    const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    return std::all_of(missing.begin(), missing.end(), [&](const QString& level) {
        return QDir().mkdir(level, ownerOnly) && QFile::setPermissions(level, ownerOnly);
    });
}

} // namespace

Database::Database(QString connectionName) : m_connectionName(std::move(connectionName)) {}

Database::~Database() {
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

std::expected<void, QString> Database::secureFile(const QString& path) {
    // The database holds every account: a folder made here and the file are the operator's
    // alone. SQLite gives its -wal and -shm files the mode of the database file.
    if (path == QStringLiteral(":memory:")) {
        return {};
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (!makePrivateFolders(folder)) {
        return std::unexpected(QStringLiteral("cannot create %1").arg(folder));
    }
    QFile file(path);
    // Created private, not made private after: no moment in which another user could open it.
    if (!file.exists() && !file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                                     QFile::ReadOwner | QFile::WriteOwner)) {
        return std::unexpected(QStringLiteral("cannot create %1").arg(path));
    }
    file.close();
    const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                        QFile::WriteOther | QFile::ExeOther;
    // Side files left by a crash are tightened with it.
    for (const QString& name :
         {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm")}) {
        if (QFile::exists(name) && (QFile::permissions(name) & others) &&
            !QFile::setPermissions(name, QFile::ReadOwner | QFile::WriteOwner)) {
            return std::unexpected(QStringLiteral("cannot make %1 private").arg(name));
        }
    }
    return {};
}

std::expected<std::unique_ptr<Database>, QString> Database::open(const QString& path) {
    static QAtomicInt counter;
    const QString name = QStringLiteral("kelvo-server-%1").arg(counter.fetchAndAddRelaxed(1));
    std::unique_ptr<Database> database(new Database(name));
    if (auto secured = secureFile(path); !secured) {
        return std::unexpected(secured.error());
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        return std::unexpected(
            QStringLiteral("cannot open %1: %2").arg(path, db.lastError().text()));
    }
    for (const char* pragma :
         {"PRAGMA foreign_keys = ON", "PRAGMA journal_mode = WAL", "PRAGMA synchronous = NORMAL"}) {
        if (!database->exec(QString::fromLatin1(pragma))) {
            return std::unexpected(QStringLiteral("cannot configure %1").arg(path));
        }
    }
    if (!database->migrate()) {
        return std::unexpected(QStringLiteral("cannot migrate %1").arg(path));
    }
    return database;
}

bool Database::migrate() {
    auto version = exec(QStringLiteral("PRAGMA user_version"));
    if (!version || !version->next()) {
        return false;
    }
    const int current = version->value(0).toInt();
    if (current > schemaVersion) {
        OperatorLog::write(QStringLiteral("database schema %1 is newer than this server (%2)")
                               .arg(current)
                               .arg(schemaVersion));
        return false;
    }
    for (int step = current; step < schemaVersion; ++step) {
        Transaction transaction(*this);
        if (migrations[step] == nullptr) {
            if (!rekeyEmails()) {
                return false;
            }
        } else {
            const QStringList statements =
                QString::fromLatin1(migrations[step]).split(u';', Qt::SkipEmptyParts);
            for (const QString& statement : statements) {
                if (!statement.trimmed().isEmpty() && !exec(statement)) {
                    return false;
                }
            }
        }
        if (!exec(QStringLiteral("PRAGMA user_version = %1").arg(step + 1)) ||
            !transaction.commit()) {
            return false;
        }
    }
    return true;
}

bool Database::rekeyEmails() {
    auto users =
        exec(QStringLiteral("SELECT id, email, email_key FROM users ORDER BY created_at, id"));
    if (!users) {
        return false;
    }
    struct User {
        QString id;
        QString email;
        QString key;
        QString newKey;
    };
    QList<User> all;
    while (users->next()) {
        all.append({users->value(0).toString(),
                    users->value(1).toString(),
                    users->value(2).toString(),
                    {}});
    }
    users->finish();
    // Accounts that are now one address: the oldest keeps it. The others keep their data under
    // a key no sign-in can give (it has a space), and the operator hears of them.
    QHash<QString, QString> owners;
    for (User& user : all) {
        const QString key = Validation::emailKey(user.email);
        const auto owner = owners.constFind(key);
        if (owner == owners.constEnd()) {
            owners.insert(key, user.id);
            user.newKey = key;
            continue;
        }
        user.newKey = QStringLiteral("superseded ") + user.id;
        OperatorLog::write(QStringLiteral("account %1 (%2) cannot sign in: the older account %3 "
                                          "has the same address; change one of their e-mails to "
                                          "keep both")
                               .arg(user.id, user.email, *owner));
    }
    // Through keys of their own first, so no two rows ever hold the same key on the way.
    for (const QString& pass : {QStringLiteral("moving"), QStringLiteral("final")}) {
        for (const User& user : all) {
            if (user.newKey == user.key) {
                continue;
            }
            const QString key =
                pass == u"final" ? user.newKey : QStringLiteral("moving ") + user.id;
            if (!exec(QStringLiteral("UPDATE users SET email_key = ? WHERE id = ?"),
                      {key, user.id})) {
                return false;
            }
        }
    }
    return true;
}

std::optional<QSqlQuery> Database::exec(const QString& sql, const QVariantList& bindings) {
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (!query.prepare(sql)) {
        logError(QStringLiteral("cannot prepare statement"), query.lastError());
        return std::nullopt;
    }
    for (const QVariant& value : bindings) {
        query.addBindValue(value);
    }
    if (!query.exec()) {
        logError(QStringLiteral("statement failed"), query.lastError());
        return std::nullopt;
    }
    return query;
}

bool Database::transaction() {
    return QSqlDatabase::database(m_connectionName, false).transaction();
}

bool Database::commit() {
    return QSqlDatabase::database(m_connectionName, false).commit();
}

void Database::rollback() {
    QSqlDatabase::database(m_connectionName, false).rollback();
}

} // namespace kelvo::server
