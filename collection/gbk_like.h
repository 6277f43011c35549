#pragma once
// LIKE over GBK text. SQLite's built-in LIKE reads its operands as UTF-8, which
// GBK bytes are not, so it matches nearly every row for a Chinese term. This
// matcher walks whole GBK/GB18030 characters instead and replaces the built-in
// function on our connection.

#include <QByteArrayView>

#include <optional>

struct sqlite3;

namespace collection {

// pattern LIKE text: '%' matches any run of characters, '_' exactly one
// character, ASCII letters match regardless of case, everything else by
// whole GBK character. A byte such as 0x25 or 0x7C that is the second byte of a
// two-byte character is never a wildcard. With an escape character, the
// character after it is matched literally.
bool gbkLike(QByteArrayView pattern, QByteArrayView text,
             std::optional<QByteArrayView> escape = std::nullopt);

// Registers like(X,Y) and like(X,Y,Z) on the connection in place of the
// built-in ones.
void installGbkLike(sqlite3 *db);

} // namespace collection
