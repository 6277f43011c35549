#include "collection/poem_statements.h"

#include "app/gbk_text.h"

namespace collection {

namespace {

PoemStatement make(const QString &sql, std::vector<BoundValue> params = {})
{
    return PoemStatement{gbk::encode(sql), std::move(params)};
}

BoundValue containsPattern(const QString &term)
{
    return gbk::encode(QLatin1Char('%') + term + QLatin1Char('%'));
}

} // namespace

PoemStatement initialListStatement()
{
    return make(QStringLiteral("select id,title as 作品,zz as 作者 from shi"));
}

PoemStatement allPoemsStatement()
{
    return make(QStringLiteral("SELECT  id,title as 作品,zz as 作者  FROM shi"));
}

PoemStatement searchStatement(SearchField field, const QString &term)
{
    switch (field) {
    case SearchField::Title:
        return make(QStringLiteral("select id,title as 作品,zz as 作者 from shi where title like ?"),
                    {containsPattern(term)});
    case SearchField::Author:
        return make(QStringLiteral("select id,title as 作品,zz as 作者 from shi where zz like ?"),
                    {containsPattern(term)});
    case SearchField::Text:
        break;
    }
    return make(QStringLiteral("SELECT  id,title as 作品,zz as 作者  FROM shi where nr like ?"),
                {containsPattern(term)});
}

PoemStatement tuneStatement(const QString &tune)
{
    return make(QStringLiteral("SELECT  id,title as 作品,zz as 作者  FROM shi where sort=?"),
                {gbk::encode(tune)});
}

PoemStatement poemByIdStatement(const QString &id)
{
    // The id comes from the list as text; bind it as a number when it is one so
    // the integer key is used, otherwise as text (which then matches nothing).
    bool isNumber = false;
    const qint64 number = id.toLongLong(&isNumber);
    if (isNumber)
        return make(QStringLiteral("select * from shi where id=?"), {number});
    return make(QStringLiteral("select * from shi where id=?"), {gbk::encode(id)});
}

} // namespace collection
