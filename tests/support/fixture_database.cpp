#include "fixture_database.h"

#include "app/gbk_text.h"

#include <QFile>

#include <sqlite3.h>

#include <memory>
#include <stdexcept>

namespace fixture {

namespace {

struct Closer
{
    void operator()(sqlite3 *db) const { sqlite3_close(db); }
};
using Db = std::unique_ptr<sqlite3, Closer>;

Db openNew(const QString &path, const QByteArray &key)
{
    QFile::remove(path);
    sqlite3 *raw = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        sqlite3_close(raw);
        throw std::runtime_error("cannot create fixture database");
    }
    Db db(raw);
    if (!key.isEmpty() && sqlite3_key(raw, key.constData(), int(key.size())) != SQLITE_OK)
        throw std::runtime_error("cannot key fixture database");
    return db;
}

void exec(sqlite3 *db, const QByteArray &sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw std::runtime_error("fixture SQL failed: " + message);
    }
}

} // namespace

void writeDatabase(const QString &path, const std::vector<Poem> &poems, const QByteArray &key)
{
    Db db = openNew(path, key);
    exec(db.get(), "create table shi (id integer primary key, title text, zz text, nr text, sort text)");
    exec(db.get(), "begin");
    sqlite3_stmt *raw = nullptr;
    if (sqlite3_prepare_v2(db.get(), "insert into shi (title, zz, nr, sort) values (?,?,?,?)", -1, &raw, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot prepare fixture insert");
    std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> insert(raw, &sqlite3_finalize);
    for (const Poem &poem : poems) {
        const QByteArray fields[] = {gbk::encode(poem.title), gbk::encode(poem.author),
                                     gbk::encode(poem.body), gbk::encode(poem.tune)};
        for (int i = 0; i < 4; ++i)
            sqlite3_bind_text(insert.get(), i + 1, fields[i].constData(), int(fields[i].size()), SQLITE_TRANSIENT);
        if (sqlite3_step(insert.get()) != SQLITE_DONE)
            throw std::runtime_error("fixture insert failed");
        sqlite3_reset(insert.get());
    }
    exec(db.get(), "commit");
}

void writeRawDatabase(const QString &path, const QStringList &statements, const QByteArray &key)
{
    Db db = openNew(path, key);
    for (const QString &statement : statements)
        exec(db.get(), gbk::encode(statement));
}

} // namespace fixture
