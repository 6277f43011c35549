#include "collection/quick_search.h"

#include "app/gbk_text.h"

namespace collection {

QuickSearch quickSearch(const QString &typed, SearchField field)
{
    QuickSearch result;
    const QString term = text::trimControls(typed);
    if (term.isEmpty()) {
        result.warning = kEmptySearchWarning;
        return result;
    }
    // A text search for one Chinese character would match most of the
    // collection; two characters (four GBK bytes) are the least it accepts.
    if (field == SearchField::Text && gbk::byteLength(term) < 4) {
        result.warning = kShortTextSearchWarning;
        return result;
    }
    result.statement = searchStatement(field, term);
    result.highlightTerm = term;
    return result;
}

const QStringList &browseTunes()
{
    static const QStringList tunes{
        QStringLiteral("菩萨蛮"), QStringLiteral("蝶恋花"), QStringLiteral("浣溪沙"),
        QStringLiteral("临江仙"), QStringLiteral("清平乐"), QStringLiteral("水调歌头"),
        QStringLiteral("卜算子"), QStringLiteral("满江红"), QStringLiteral("鹧鸪天"),
    };
    return tunes;
}

} // namespace collection
