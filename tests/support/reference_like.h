#pragma once
// An independent LIKE for comparison with the GBK matcher: it works on
// decoded code points and fills the classic table "do the pattern's items
// from i match the text from j", one row at a time. Letters fold only in
// ASCII, as in SQLite. Header-only, so the fuzzers can use it too.

#include <QList>
#include <QString>

#include <optional>
#include <vector>

namespace reference {

inline bool like(const QString &pattern, const QString &text, std::optional<char32_t> escape)
{
    enum Kind { Any, One, Char };
    struct Item
    {
        Kind kind;
        char32_t ch;
    };
    const auto fold = [](char32_t c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
    const QList<uint> p = pattern.toUcs4();
    const QList<uint> t = text.toUcs4();
    std::vector<Item> items;
    for (qsizetype i = 0; i < p.size(); ++i) {
        const char32_t c = p[i];
        if (escape && c == *escape) {
            if (i + 1 == p.size())
                return false;
            items.push_back({Char, fold(char32_t(p[++i]))});
        } else if (c == '%') {
            items.push_back({Any, 0});
        } else if (c == '_') {
            items.push_back({One, 0});
        } else {
            items.push_back({Char, fold(c)});
        }
    }
    const std::size_t n = items.size();
    const std::size_t m = std::size_t(t.size());
    std::vector<char> next(m + 1, 0), current(m + 1, 0);
    next[m] = 1;
    for (std::size_t i = n; i-- > 0;) {
        for (std::size_t j = m + 1; j-- > 0;) {
            const Item &it = items[i];
            if (it.kind == Any)
                current[j] = next[j] || (j < m && current[j + 1]);
            else
                current[j] = j < m && (it.kind == One || it.ch == fold(char32_t(t[qsizetype(j)])))
                    && next[j + 1];
        }
        next.swap(current);
    }
    return next[0];
}

} // namespace reference
