#pragma once
// The program's text lives in the GBK code page: the database, the SQL
// literals, the instructions file and the fetched link list. This module is the
// one place that crosses between GBK bytes and QString.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace gbk {

// GB18030 is a superset of GBK, so every GBK byte sequence decodes the same and
// the few characters GBK lacks still survive a round trip instead of becoming '?'.
QByteArray encode(QStringView text);
QString decode(QByteArrayView bytes);

// Length of the text as GBK bytes: a Chinese character counts two.
qsizetype byteLength(QStringView text);

// Byte length of the GBK/GB18030 character starting at bytes[pos]: 1, 2 or 4.
// Malformed or truncated sequences count as one byte so a scan always advances.
int charLength(QByteArrayView bytes, qsizetype pos);

} // namespace gbk

namespace text {

// Removes leading and trailing characters of code 0 to 32. Unlike
// QString::trimmed() this keeps the ideographic space U+3000, which poems use
// as their indent.
QString trimControls(QStringView text);
QByteArrayView trimControls(QByteArrayView bytes);

} // namespace text
