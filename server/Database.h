#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <expected>
#include <memory>
#include <optional>

namespace kelvo::server {

// One SQLite database: opened with foreign keys and WAL, migrated to the current schema
// (tracked in user_version). Every statement binds its values; none is built from input text.
class Database {
public:
    static std::expected<std::unique_ptr<Database>, QString> open(const QString& path);
    // Makes the file (and a folder made for it) the user's alone before SQLite opens it.
    static std::expected<void, QString> secureFile(const QString& path);
    ~Database();

    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Runs one statement; nothing (after logging the cause to stderr) when it fails.
    std::optional<QSqlQuery> exec(const QString& sql, const QVariantList& bindings = {});

    bool transaction();
    bool commit();
    void rollback();

private:
    explicit Database(QString connectionName);
    bool migrate();
    bool rekeyEmails();

    QString m_connectionName;
};

// Rolls back unless committed.
class Transaction {
public:
    explicit Transaction(Database& db) : m_db(db), m_open(db.transaction()) {}
    ~Transaction() {
        if (m_open) {
            m_db.rollback();
        }
    }
    bool isOpen() const { return m_open; }
    bool commit() {
        m_open = false;
        return m_db.commit();
    }

private:
    Database& m_db;
    bool m_open;
};

} // namespace kelvo::server
