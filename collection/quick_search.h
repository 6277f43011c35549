#pragma once
// The quick search: what the typed text becomes — a refusal with its warning,
// or a statement and the term the shown poems are coloured with.

#include "collection/poem_statements.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace collection {

struct QuickSearch
{
    QString warning;                        // non-empty: refused, show it
    std::optional<PoemStatement> statement; // set when accepted
    QString highlightTerm;                  // the trimmed text when accepted
};

inline const QString kEmptySearchWarning = QStringLiteral("请输入要查询的内容?");
inline const QString kShortTextSearchWarning = QStringLiteral("查内容至少要输入两个汉字！");

QuickSearch quickSearch(const QString &typed, SearchField field);

// The tune patterns of the browse menu, in menu order.
const QStringList &browseTunes();

} // namespace collection
