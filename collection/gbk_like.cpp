#include "collection/gbk_like.h"

#include "app/gbk_text.h"

#include <sqlite3.h>

namespace collection {

namespace {

unsigned char lowerAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

bool sameChar(QByteArrayView a, qsizetype ai, int alen, QByteArrayView b, qsizetype bi, int blen)
{
    if (alen != blen)
        return false;
    if (alen == 1)
        return lowerAscii(static_cast<unsigned char>(a[ai])) == lowerAscii(static_cast<unsigned char>(b[bi]));
    return a.sliced(ai, alen) == b.sliced(bi, blen);
}

// Iterative matcher with single-star backtracking: linear memory, and at worst
// pattern-length times text-length steps, never exponential.
bool matchFrom(QByteArrayView p, QByteArrayView t, std::optional<QByteArrayView> escape)
{
    qsizetype pi = 0, ti = 0;
    qsizetype starP = -1, starT = -1;
    while (ti < t.size()) {
        if (pi < p.size()) {
            const int plen = gbk::charLength(p, pi);
            const QByteArrayView pc = p.sliced(pi, plen);
            const bool isEscape = escape && pc == *escape;
            if (!isEscape && plen == 1 && p[pi] == '%') {
                starP = pi + 1;
                starT = ti;
                pi = starP;
                continue;
            }
            const int tlen = gbk::charLength(t, ti);
            if (!isEscape && plen == 1 && p[pi] == '_') {
                pi += 1;
                ti += tlen;
                continue;
            }
            qsizetype litPos = pi;
            int litLen = plen;
            if (isEscape && pi + plen < p.size()) {
                litPos = pi + plen;
                litLen = gbk::charLength(p, litPos);
            }
            if (sameChar(p, litPos, litLen, t, ti, tlen)) {
                pi = litPos + litLen;
                ti += tlen;
                continue;
            }
        }
        if (starP < 0)
            return false;
        starT += gbk::charLength(t, starT);
        ti = starT;
        pi = starP;
    }
    while (pi < p.size() && p[pi] == '%' && !(escape && escape->size() == 1 && (*escape)[0] == '%'))
        ++pi;
    return pi == p.size();
}

void likeFunction(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    const auto view = [](sqlite3_value *value) {
        const auto *data = reinterpret_cast<const char *>(sqlite3_value_text(value));
        return QByteArrayView(data ? data : "", sqlite3_value_bytes(value));
    };
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return; // NULL result, as the built-in LIKE gives
    std::optional<QByteArrayView> escape;
    if (argc == 3) {
        const QByteArrayView esc = view(argv[2]);
        if (esc.isEmpty() || gbk::charLength(esc, 0) != esc.size()) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
        escape = esc;
    }
    sqlite3_result_int(context, gbkLike(view(argv[0]), view(argv[1]), escape) ? 1 : 0);
}

} // namespace

bool gbkLike(QByteArrayView pattern, QByteArrayView text, std::optional<QByteArrayView> escape)
{
    return matchFrom(pattern, text, escape);
}

void installGbkLike(sqlite3 *db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(db, "like", 2, flags, nullptr, likeFunction, nullptr, nullptr);
    sqlite3_create_function(db, "like", 3, flags, nullptr, likeFunction, nullptr, nullptr);
}

} // namespace collection
