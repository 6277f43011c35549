#pragma once
// Turning the chinese-poetry Song ci JSON into the rows of table shi: parsing,
// the title/tune/first-clause rules, file order and the removal of corpus poems
// that the selection already holds. No file system and no database here.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <stdexcept>
#include <vector>

namespace builder {

// Every failure of the builder; the message names the file (and the poem) so
// it can be shown as it is.
class BuildError : public std::runtime_error
{
public:
    explicit BuildError(const QString &message);
};

struct Poem
{
    QString author;
    QString rhythmic;
    QStringList paragraphs;
};

struct PoemRow
{
    qint64 id = 0;
    QString title;
    QString zz;
    QString nr;
    QString sort;

    friend bool operator==(const PoemRow &, const PoemRow &) = default;
};

// One ci.song.*.json file: its name and its poems in file order.
struct CorpusFile
{
    QString name;
    std::vector<Poem> poems;
};

// A JSON array of poems, each an object with the strings "author" and
// "rhythmic" and the array of strings "paragraphs"; other members are ignored.
// sourceName prefixes every error message.
std::vector<Poem> parsePoems(const QByteArray &json, const QString &sourceName);

// The corpus writes a tune and its alias apart with U+30FB; the list shows
// U+00B7 instead.
inline constexpr QChar kAliasSeparator = QChar(u'\u00B7');
QString normalizeRhythmic(QStringView rhythmic);

// The tune: the rhythmic up to its first separator, or all of it.
QString tuneOf(QStringView rhythmic);

// Chinese (any Unicode punctuation class) or ASCII punctuation ends a clause.
bool isClauseBreak(QChar c);

// The first clause of the body: normally the first paragraph up to its first
// punctuation mark. A body that opens with punctuation (an editor's "（缺词文）",
// an ellipsis) yields the first non-empty run instead, so no poem gets an empty
// clause while it has any text; an all-punctuation body yields "".
QString firstClause(const QStringList &paragraphs);

// The row of one poem. A rhythmic without alias gets its first clause after
// the separator so that poems of one tune can be told apart in the list.
PoemRow rowFor(const Poem &poem, qint64 id);

// The body as the reader shows it: paragraphs on lines of their own.
QString joinBody(const QStringList &paragraphs);

// The corpus files to read, in order: ci.song.N.json by ascending N, then the
// other ci.song.*.json by name. Anything else is left out.
QStringList corpusFileOrder(const QStringList &fileNames);

// The selection's poems first (ids 1..), then the corpus files' poems in order,
// skipping a corpus poem whose author and first clause match a selection poem.
// skipped, when given, receives the count skipped per corpus file.
std::vector<PoemRow> assembleRows(const std::vector<Poem> &selection,
                                  const std::vector<CorpusFile> &corpusFiles,
                                  std::vector<int> *skipped = nullptr);

} // namespace builder
