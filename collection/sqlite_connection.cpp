#include "collection/sqlite_connection.h"

#include "collection/gbk_like.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace collection {

namespace {

[[noreturn]] void fail(const QString &what, sqlite3 *db)
{
    throw DatabaseError(QStringLiteral("%1: %2").arg(what, sqliteErrorText(db)).toStdString());
}

} // namespace

QString sqliteErrorText(sqlite3 *db)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}

void SqliteStatement::Finalizer::operator()(sqlite3_stmt *stmt) const
{
    sqlite3_finalize(stmt);
}

SqliteStatement::SqliteStatement(sqlite3 *db, QByteArrayView sql)
    : m_db(db)
{
    sqlite3_stmt *raw = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.data(), int(sql.size()), &raw, nullptr);
    m_stmt.reset(raw);
    if (rc != SQLITE_OK || !raw)
        fail(QStringLiteral("cannot prepare query"), db);
}

void SqliteStatement::bind(int index, const BoundValue &value)
{
    int rc = SQLITE_OK;
    if (const auto *text = std::get_if<QByteArray>(&value))
        rc = sqlite3_bind_text(m_stmt.get(), index, text->constData(), int(text->size()),
                               SQLITE_TRANSIENT);
    else
        rc = sqlite3_bind_int64(m_stmt.get(), index, std::get<qint64>(value));
    if (rc != SQLITE_OK)
        fail(QStringLiteral("cannot bind parameter %1").arg(index), m_db);
}

void SqliteStatement::bindAll(const std::vector<BoundValue> &values)
{
    for (std::size_t i = 0; i < values.size(); ++i)
        bind(int(i) + 1, values[i]);
}

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(m_stmt.get());
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(QStringLiteral("cannot read from the database"), m_db);
}

int SqliteStatement::columnCount() const
{
    return sqlite3_column_count(m_stmt.get());
}

QByteArray SqliteStatement::columnName(int column) const
{
    return QByteArray(sqlite3_column_name(m_stmt.get(), column));
}

QByteArrayView SqliteStatement::columnView(int column) const
{
    // Ask for the text first: it may convert an integer, after which the
    // byte count is that of the text form.
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt.get(), column));
    const int size = sqlite3_column_bytes(m_stmt.get(), column);
    if (!data)
        return {};
    return QByteArrayView(data, size);
}

QByteArray SqliteStatement::columnBytes(int column) const
{
    return columnView(column).toByteArray();
}

int SqliteStatement::columnIndex(QByteArrayView name) const
{
    const int count = columnCount();
    for (int i = 0; i < count; ++i) {
        if (QByteArrayView(sqlite3_column_name(m_stmt.get(), i)).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void SqliteConnection::Closer::operator()(sqlite3 *db) const
{
    sqlite3_close_v2(db);
}

SqliteConnection::SqliteConnection(const QString &fileName, QByteArrayView key)
    : m_fileName(fileName)
{
    const QString what = QStringLiteral("cannot open %1").arg(fileName);
    // SQLite would report a missing file only as "unable to open database
    // file"; say plainly what is wrong.
    if (!QFileInfo(fileName).isFile())
        throw DatabaseError(QStringLiteral("%1: no such file").arg(what).toStdString());

    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(fileName.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    m_db.reset(raw);
    if (rc != SQLITE_OK)
        fail(what, raw);

    if (sqlite3_key(raw, key.data(), int(key.size())) != SQLITE_OK)
        fail(what, raw);

    // The key is only checked when the first page is read: read it now so a
    // wrong key or a file that is not a database fails at open.
    sqlite3_stmt *probe = nullptr;
    if (sqlite3_prepare_v2(raw, "select count(*) from sqlite_master", -1, &probe, nullptr) != SQLITE_OK) {
        sqlite3_finalize(probe);
        fail(what, raw);
    }
    const int probeRc = sqlite3_step(probe);
    sqlite3_finalize(probe);
    if (probeRc != SQLITE_ROW)
        fail(what, raw);

    // Keep the whole decrypted collection in the page cache (it is a few MB),
    // so repeated searches scan memory instead of decrypting pages again.
    sqlite3_exec(raw, "pragma cache_size=-65536", nullptr, nullptr, nullptr);

    installGbkLike(raw);
}

SqliteStatement SqliteConnection::prepare(QByteArrayView sql) const
{
    return SqliteStatement(m_db.get(), sql);
}

} // namespace collection
