#pragma once
// Small encrypted poem databases for tests, written the way the real one is:
// SQLCipher with the program's key, table shi, text stored as GBK bytes.

#include "collection/collection_file.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace fixture {

inline const QByteArray kKey = collection::kCollectionKey.toByteArray();

struct Poem
{
    QString title;
    QString author;
    QString body;
    QString tune;
};

// Writes a new database file (replacing any) with the poems as rows 1..n.
// Throws std::runtime_error on failure.
void writeDatabase(const QString &path, const std::vector<Poem> &poems,
                   const QByteArray &key = kKey);

// Runs SQL statements on a new database file (keyed when key is not empty),
// for databases whose shape is the point of the test.
void writeRawDatabase(const QString &path, const QStringList &statements, const QByteArray &key);

} // namespace fixture
