#pragma once
// A thin RAII layer over SQLCipher: one read-only connection, prepared
// statements with bound parameters, and failures as exceptions that carry
// SQLite's own message and what was being done.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <stdexcept>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace collection {

class DatabaseError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A value bound to a '?' of a statement: GBK text or an integer.
using BoundValue = std::variant<QByteArray, qint64>;

class SqliteStatement
{
public:
    SqliteStatement(sqlite3 *db, QByteArrayView sql);
    SqliteStatement(SqliteStatement &&) noexcept = default;
    SqliteStatement &operator=(SqliteStatement &&) noexcept = default;

    void bind(int index, const BoundValue &value);
    void bindAll(const std::vector<BoundValue> &values);
    // Advances to the next row; false when the result is exhausted.
    bool step();

    int columnCount() const;
    // Column names as the statement spells them (GBK aliases included).
    QByteArray columnName(int column) const;
    // The column of the current row as raw bytes; NULL reads as empty.
    QByteArray columnBytes(int column) const;
    QByteArrayView columnView(int column) const;
    int columnIndex(QByteArrayView name) const;

private:
    struct Finalizer
    {
        void operator()(sqlite3_stmt *stmt) const;
    };
    sqlite3 *m_db = nullptr;
    std::unique_ptr<sqlite3_stmt, Finalizer> m_stmt;
};

class SqliteConnection
{
public:
    // Opens an existing file read-only (a missing file is an error, never
    // created) and applies the key right after opening. A wrong key or a file
    // that is not a database fails here, not at the first query.
    SqliteConnection(const QString &fileName, QByteArrayView key);
    SqliteConnection(SqliteConnection &&) noexcept = default;
    SqliteConnection &operator=(SqliteConnection &&) noexcept = default;

    SqliteStatement prepare(QByteArrayView sql) const;
    sqlite3 *handle() const { return m_db.get(); }
    const QString &fileName() const { return m_fileName; }

private:
    struct Closer
    {
        void operator()(sqlite3 *db) const;
    };
    QString m_fileName;
    std::unique_ptr<sqlite3, Closer> m_db;
};

// "what: sqlite's message" for the connection's last error.
QString sqliteErrorText(sqlite3 *db);

} // namespace collection
