#pragma once
// The SQL behind every list command. Statements are GBK, as the stored text
// is, so the column aliases come back as the headings "作品" and "作者". Search
// terms are bound parameters, never pasted into the text, so a quote in a term
// is just a character; '%' and '_' typed by the user keep their LIKE meaning.

#include "collection/sqlite_connection.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace collection {

struct PoemStatement
{
    QByteArray sql;                  // GBK
    std::vector<BoundValue> params;  // one per '?'

    bool operator==(const PoemStatement &) const = default;
};

enum class SearchField { Title, Author, Text };

// The list of all poems, as the window opens it at load.
PoemStatement initialListStatement();
// "刷新全部": the same poems, spelled as the refresh command spells it.
PoemStatement allPoemsStatement();
PoemStatement searchStatement(SearchField field, const QString &term);
PoemStatement tuneStatement(const QString &tune);
// The detail lookup of one poem by the id shown in the list.
PoemStatement poemByIdStatement(const QString &id);

} // namespace collection
