#include "tools/poem_database.h"

#include "app/gbk_text.h"

#include <QFile>

#include <sqlite3.h>

#include <memory>

namespace builder {

namespace {

struct Closer
{
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
struct Finalizer
{
    void operator()(sqlite3_stmt *stmt) const { sqlite3_finalize(stmt); }
};
using Database = std::unique_ptr<sqlite3, Closer>;
using Statement = std::unique_ptr<sqlite3_stmt, Finalizer>;

[[noreturn]] void fail(const QString &what, sqlite3 *db)
{
    const QString message = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
    throw BuildError(QStringLiteral("%1: %2").arg(what, message));
}

void execute(sqlite3 *db, const char *sql, const QString &what)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(what, db);
}

void bindText(sqlite3 *db, sqlite3_stmt *stmt, int index, const QString &text)
{
    const QByteArray bytes = gbk::encode(text);
    if (sqlite3_bind_text(stmt, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT)
        != SQLITE_OK)
        fail(QStringLiteral("cannot bind a poem's text"), db);
}

} // namespace

void writePoemDatabase(const QString &fileName, QByteArrayView key,
                       const std::vector<PoemRow> &rows)
{
    const QString where = QStringLiteral("cannot write %1").arg(fileName);

    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(fileName).constData(), &raw,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    const Database db(raw);
    if (rc != SQLITE_OK)
        fail(where, raw);
    if (sqlite3_key(raw, key.data(), int(key.size())) != SQLITE_OK)
        fail(where, raw);

    execute(raw,
            "create table shi (id integer primary key, title text, zz text, nr text, sort text)",
            where);
    // One transaction: a single journal for all rows instead of one per row,
    // and a file that holds either every poem or none.
    execute(raw, "begin", where);

    sqlite3_stmt *rawInsert = nullptr;
    if (sqlite3_prepare_v2(raw, "insert into shi (id, title, zz, nr, sort) values (?, ?, ?, ?, ?)",
                           -1, &rawInsert, nullptr)
        != SQLITE_OK)
        fail(where, raw);
    const Statement insert(rawInsert);

    for (const PoemRow &row : rows) {
        if (sqlite3_bind_int64(rawInsert, 1, row.id) != SQLITE_OK)
            fail(where, raw);
        bindText(raw, rawInsert, 2, row.title);
        bindText(raw, rawInsert, 3, row.zz);
        bindText(raw, rawInsert, 4, row.nr);
        bindText(raw, rawInsert, 5, row.sort);
        if (sqlite3_step(rawInsert) != SQLITE_DONE)
            fail(QStringLiteral("%1: poem %2").arg(where).arg(row.id), raw);
        sqlite3_reset(rawInsert);
    }

    execute(raw, "commit", where);
}

} // namespace builder
