#include "tools/corpus.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <tuple>
#include <utility>

namespace builder {

BuildError::BuildError(const QString &message)
    : std::runtime_error(message.toStdString())
{
}

namespace {

constexpr QChar kCorpusAliasSeparator = QChar(u'\u30FB');

QString poemText(const QJsonObject &poem, QLatin1StringView key, const QString &where)
{
    const QJsonValue value = poem.value(key);
    if (value.isUndefined())
        throw BuildError(QStringLiteral("%1: missing \"%2\"").arg(where, key));
    if (!value.isString())
        throw BuildError(QStringLiteral("%1: \"%2\" is not a string").arg(where, key));
    return value.toString();
}

QStringList poemParagraphs(const QJsonObject &poem, const QString &where)
{
    const QLatin1StringView key("paragraphs");
    const QJsonValue value = poem.value(key);
    if (value.isUndefined())
        throw BuildError(QStringLiteral("%1: missing \"%2\"").arg(where, key));
    if (!value.isArray())
        throw BuildError(QStringLiteral("%1: \"%2\" is not an array").arg(where, key));
    QStringList paragraphs;
    const QJsonArray array = value.toArray();
    paragraphs.reserve(array.size());
    for (const QJsonValue &line : array) {
        if (!line.isString())
            throw BuildError(QStringLiteral("%1: \"%2\" holds something other than text")
                                 .arg(where, key));
        paragraphs.append(line.toString());
    }
    return paragraphs;
}

} // namespace

std::vector<Poem> parsePoems(const QByteArray &json, const QString &sourceName)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        throw BuildError(QStringLiteral("%1: malformed JSON at byte %2: %3")
                             .arg(sourceName)
                             .arg(error.offset)
                             .arg(error.errorString()));
    if (!document.isArray())
        throw BuildError(QStringLiteral("%1: not a JSON array").arg(sourceName));

    const QJsonArray array = document.array();
    std::vector<Poem> poems;
    poems.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        // Poems are counted from 1, as a person looking into the file would.
        const QString where = QStringLiteral("%1: poem %2").arg(sourceName).arg(i + 1);
        const QJsonValue value = array.at(i);
        if (!value.isObject())
            throw BuildError(QStringLiteral("%1: not a JSON object").arg(where));
        const QJsonObject object = value.toObject();
        Poem poem;
        poem.author = poemText(object, QLatin1StringView("author"), where);
        poem.rhythmic = poemText(object, QLatin1StringView("rhythmic"), where);
        poem.paragraphs = poemParagraphs(object, where);
        poems.push_back(std::move(poem));
    }
    return poems;
}

QString normalizeRhythmic(QStringView rhythmic)
{
    QString result = rhythmic.toString();
    result.replace(kCorpusAliasSeparator, kAliasSeparator);
    return result;
}

QString tuneOf(QStringView rhythmic)
{
    const QString normalized = normalizeRhythmic(rhythmic);
    const qsizetype separator = normalized.indexOf(kAliasSeparator);
    return separator < 0 ? normalized : normalized.left(separator);
}

bool isClauseBreak(QChar c)
{
    const char16_t code = c.unicode();
    // QChar::isPunct() leaves out ASCII symbols such as '+' or '|', which a
    // hand-typed poem may still use as a break.
    if (code > 0x20 && code < 0x7F)
        return !c.isLetterOrNumber();
    return c.isPunct();
}

QString firstClause(const QStringList &paragraphs)
{
    for (const QString &paragraph : paragraphs) {
        qsizetype start = 0;
        while (start <= paragraph.size()) {
            qsizetype end = start;
            while (end < paragraph.size() && !isClauseBreak(paragraph.at(end)))
                ++end;
            const QString clause = paragraph.mid(start, end - start).trimmed();
            if (!clause.isEmpty())
                return clause;
            start = end + 1;
        }
    }
    return {};
}

QString joinBody(const QStringList &paragraphs)
{
    return paragraphs.join(QStringLiteral("\r\n"));
}

PoemRow rowFor(const Poem &poem, qint64 id)
{
    PoemRow row;
    row.id = id;
    row.zz = poem.author;
    row.nr = joinBody(poem.paragraphs);
    row.sort = tuneOf(poem.rhythmic);
    row.title = normalizeRhythmic(poem.rhythmic);
    if (!row.title.contains(kAliasSeparator)) {
        const QString clause = firstClause(poem.paragraphs);
        // Without any text there is nothing to tell the poem apart by, and a
        // title ending in a bare separator would look broken.
        if (!clause.isEmpty())
            row.title += kAliasSeparator + clause;
    }
    return row;
}

QStringList corpusFileOrder(const QStringList &fileNames)
{
    static const QRegularExpression numbered(QStringLiteral(R"(^ci\.song\.(\d+)\.json$)"));
    static const QRegularExpression other(QStringLiteral(R"(^ci\.song\..+\.json$)"));

    struct Entry
    {
        bool isNumbered;
        qulonglong number;
        QString name;
    };
    std::vector<Entry> entries;
    for (const QString &name : fileNames) {
        if (const auto match = numbered.match(name); match.hasMatch()) {
            bool ok = false;
            const qulonglong number = match.captured(1).toULongLong(&ok);
            if (ok) {
                entries.push_back({true, number, name});
                continue;
            }
        }
        if (other.match(name).hasMatch())
            entries.push_back({false, 0, name});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        // Numbered files first, by number; the rest by name.
        return std::tuple(!a.isNumbered, a.number, a.name) < std::tuple(!b.isNumbered, b.number, b.name);
    });

    QStringList ordered;
    ordered.reserve(qsizetype(entries.size()));
    for (const Entry &entry : entries)
        ordered.append(entry.name);
    return ordered;
}

std::vector<PoemRow> assembleRows(const std::vector<Poem> &selection,
                                  const std::vector<CorpusFile> &corpusFiles,
                                  std::vector<int> *skipped)
{
    std::vector<PoemRow> rows;
    QSet<std::pair<QString, QString>> held;
    qint64 nextId = 1;

    for (const Poem &poem : selection) {
        rows.push_back(rowFor(poem, nextId++));
        const QString clause = firstClause(poem.paragraphs);
        // A poem without any text identifies nothing; it must not hide every
        // other textless poem of its author.
        if (!clause.isEmpty())
            held.insert({poem.author, clause});
    }

    if (skipped)
        skipped->assign(corpusFiles.size(), 0);
    for (std::size_t file = 0; file < corpusFiles.size(); ++file) {
        for (const Poem &poem : corpusFiles[file].poems) {
            if (held.contains({poem.author, firstClause(poem.paragraphs)})) {
                if (skipped)
                    ++(*skipped)[file];
                continue;
            }
            rows.push_back(rowFor(poem, nextId++));
        }
    }
    return rows;
}

} // namespace builder
