#pragma once
// Writing table shi into a new SQLCipher database: every text as GBK bytes, all
// rows in one transaction.

#include "tools/corpus.h"

#include <QByteArrayView>
#include <QString>

#include <vector>

namespace builder {

// Creates table shi in fileName (a new or empty file) encrypted with key and
// inserts rows. Throws BuildError with SQLite's message on any failure; the
// file's contents are then undefined.
void writePoemDatabase(const QString &fileName, QByteArrayView key,
                       const std::vector<PoemRow> &rows);

} // namespace builder
