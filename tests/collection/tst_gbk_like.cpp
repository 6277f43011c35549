// The GBK-aware LIKE: the matcher on its own, checked against SQLite's LIKE on
// ASCII text and against an independent matcher over decoded characters, and
// the SQL function on a real encrypted connection.

#include "app/gbk_text.h"
#include "tests/support/reference_like.h"
#include "collection/collection_file.h"
#include "collection/gbk_like.h"
#include "collection/sqlite_connection.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

#include <memory>
#include <optional>
#include <vector>

using collection::DatabaseError;
using collection::GbkLikePattern;
using collection::SqliteConnection;
using collection::kCollectionKey;
using collection::gbkLike;
using namespace Qt::StringLiterals;

namespace {

QByteArray g(QStringView text)
{
    return gbk::encode(text);
}

std::optional<QByteArrayView> escapeOf(const QByteArray &escape, bool hasEscape)
{
    return hasEscape ? std::optional<QByteArrayView>(escape) : std::nullopt;
}

// Rows of a small encrypted poem table, written with the raw API as the real
// collection is: GBK bytes stored as text.
struct FixtureRow
{
    qint64 id;
    QByteArray title;
    QByteArray zz;
    std::optional<QByteArray> nr;
};

std::vector<FixtureRow> fixtureRows()
{
    return {
        {1, g(u"水调歌头"), g(u"苏轼"), g(u"明月几时有？把酒问青天。")},
        {2, g(u"江城子"), g(u"苏轼"), g(u"十年生死两茫茫，不思量，自难忘。")},
        {3, g(u"念奴娇"), g(u"苏轼"), g(u"大江东去，浪淘尽，千古风流人物。")},
        // The bytes of 明月 (C3F7 D4C2) across three other characters.
        {4, g(u"无题"), g(u"佚名"), g(u"懊髟掳")},
        // 乢 is 81 5F and 亅 is 81 7C: '_' and '|' as second bytes.
        {5, g(u"乢"), g(u"亅"), g(u"乢亅")},
        {6, g(u"Moon River"), g(u"Mercer"), g(u"MOON river, 100% wider than a mile")},
        {7, g(u"空"), g(u"佚名"), std::nullopt},
        {8, g(u"It's"), g(u"佚名"), g(u"It's a_b 东风")},
        {9, g(u"西江月"), g(u"辛弃疾"), g(u"明月别枝惊鹊，清风半夜鸣蝉。")},
    };
}

void createFixture(const QString &fileName)
{
    sqlite3 *raw = nullptr;
    QCOMPARE(sqlite3_open_v2(fileName.toUtf8().constData(), &raw,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
             SQLITE_OK);
    const std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
    QCOMPARE(sqlite3_key(raw, kCollectionKey.data(), int(kCollectionKey.size())), SQLITE_OK);
    QCOMPARE(sqlite3_exec(raw,
                          "create table shi(id integer primary key, title text, zz text,"
                          " nr text, sort text)",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    sqlite3_stmt *insert = nullptr;
    QCOMPARE(sqlite3_prepare_v2(raw, "insert into shi(id, title, zz, nr, sort) values(?,?,?,?,?)",
                                -1, &insert, nullptr),
             SQLITE_OK);
    for (const FixtureRow &row : fixtureRows()) {
        sqlite3_reset(insert);
        sqlite3_bind_int64(insert, 1, row.id);
        sqlite3_bind_text(insert, 2, row.title.constData(), int(row.title.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, row.zz.constData(), int(row.zz.size()), SQLITE_TRANSIENT);
        if (row.nr)
            sqlite3_bind_text(insert, 4, row.nr->constData(), int(row.nr->size()), SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(insert, 4);
        sqlite3_bind_text(insert, 5, row.title.constData(), int(row.title.size()), SQLITE_TRANSIENT);
        QCOMPARE(sqlite3_step(insert), SQLITE_DONE);
    }
    sqlite3_finalize(insert);
}

QList<qint64> idsOf(collection::SqliteStatement &statement)
{
    QList<qint64> ids;
    while (statement.step())
        ids.append(statement.columnBytes(0).toLongLong());
    return ids;
}

} // namespace

class TestGbkLike : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void matcher_data();
    void matcher();
    void pathologicalPatternsFinish_data();
    void pathologicalPatternsFinish();
    void invalidEscapeMatchesNothing();
    void agreesWithSqliteOnAscii();
    void agreesWithReferenceOnGbk();

    void sqlSearch_data();
    void sqlSearch();
    void sqlNullOperands();
    void sqlOperandTypes();
    void sqlPatternLengthLimit();
    void sqlBadEscapeIsAnError_data();
    void sqlBadEscapeIsAnError();
    void sqlCachedPatternFollowsArguments();

private:
    QTemporaryDir m_dir;
    QString m_fixture;
};

void TestGbkLike::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_fixture = m_dir.filePath(QStringLiteral("fixture.idb"));
    createFixture(m_fixture);
}

void TestGbkLike::matcher_data()
{
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("escape");
    QTest::addColumn<bool>("hasEscape");
    QTest::addColumn<bool>("expected");

    const auto row = [](const char *name, const QByteArray &pattern, const QByteArray &text, bool expected) {
        QTest::newRow(name) << pattern << text << QByteArray() << false << expected;
    };
    const auto escRow = [](const char *name, const QByteArray &pattern, const QByteArray &text,
                           const QByteArray &escape, bool expected) {
        QTest::newRow(name) << pattern << text << escape << true << expected;
    };

    // Chinese terms in every shape the byte search serves, and the general one.
    row("contains at start", g(u"%明月%"), g(u"明月几时有"), true);
    row("contains at end", g(u"%明月%"), g(u"几时有明月"), true);
    row("contains split term", g(u"%明月%"), g(u"明日月"), false);
    row("contains longer than text", g(u"%明月几%"), g(u"明月"), false);
    row("prefix", g(u"明月%"), g(u"明月几时有"), true);
    row("prefix elsewhere", g(u"明月%"), g(u"几时明月"), false);
    row("suffix", g(u"%明月"), g(u"几时明月"), true);
    row("suffix elsewhere", g(u"%明月"), g(u"明月几时"), false);
    row("exact", g(u"明月"), g(u"明月"), true);
    row("exact with more text", g(u"明月"), g(u"明月。"), false);
    row("general in order", g(u"%明%月%"), g(u"明朝有月"), true);
    row("general out of order", g(u"%明%月%"), g(u"月朝有明"), false);
    row("general needs backtracking", g(u"%明月_有%"), g(u"明月明月几有"), true);

    // A byte hit that does not start on a character: 懊髟掳 is B0C3 F7D4 C2B0,
    // which holds 明月's bytes C3F7 D4C2 from its second byte.
    row("misaligned bytes", g(u"%明月%"), g(u"懊髟掳"), false);
    row("misaligned then real", g(u"%明月%"), g(u"懊髟掳明月"), true);
    row("misaligned suffix", g(u"%明月"), g(u"懊髟") + QByteArray("\xC2"), false);
    row("misaligned prefix of general", g(u"%明月_"), g(u"懊髟掳"), false);

    // Second bytes that look like ASCII: 乢 81 5F, 亅 81 7C, 乗 81 5C, 乤 81 61.
    row("trail 5F is not one", g(u"乢"), g(u"丄"), false);
    row("trail 5F literal", g(u"%乢"), g(u"字乢"), true);
    row("trail 7C is not a bar", g(u"%|%"), g(u"亅"), false);
    row("bar on its own", g(u"%|%"), g(u"a|b"), true);
    row("trail 7C literal", g(u"%亅%"), g(u"a亅b"), true);
    row("trail letter is not a letter", g(u"%a%"), g(u"乤"), false);
    row("trail letter then letter", g(u"%abc%"), g(u"乤bcABC"), true);
    row("trail letter never folds", QByteArray("\x81\x41"), g(u"乤"), false);

    // '_' is exactly one character of one, two or four bytes.
    row("one before Chinese", g(u"_月"), g(u"明月"), true);
    row("one before ASCII", g(u"_月"), g(u"a月"), true);
    row("one is one character", g(u"_"), g(u"明"), true);
    row("two ones against one char", g(u"__"), g(u"明"), false);
    row("one against 5F trail char", g(u"_"), g(u"乢"), true);
    row("one against four-byte char", g(u"_"), g(u"𠀀"), true);
    row("two ones against four-byte char", g(u"__"), g(u"𠀀"), false);
    row("four-byte contains", g(u"%𠀀%"), g(u"a𠀀b"), true);
    row("truncated four-byte literal", QByteArray("\x95\x32\x82%"), g(u"𠀀"), false);
    row("lone lead byte", QByteArray("%\x81"), QByteArray("a\x81"), true);
    row("lone lead byte against char", QByteArray("%\x81"), g(u"丄"), false);
    row("lone lead byte inside", QByteArray("%\x81%"), g(u"丄"), false);

    // Case folds for ASCII letters only.
    row("latin contains", g(u"%moon%"), g(u"Full MOON"), true);
    row("latin exact", g(u"ABC"), g(u"abc"), true);
    row("latin suffix", g(u"%Mile"), g(u"a MILE"), true);
    row("latin general", g(u"m_o%"), g(u"MOON"), true);
    row("latin near miss", g(u"%moon%"), g(u"Full MOOD"), false);
    row("fullwidth does not fold", g(u"ａ"), g(u"Ａ"), false);
    row("greek does not fold", g(u"α"), g(u"Α"), false);
    row("symbols do not fold", g(u"@"), g(u"`"), false);

    // Empty operands.
    row("empty both", QByteArray(), QByteArray(), true);
    row("empty pattern", QByteArray(), g(u"a"), false);
    row("percent against empty", g(u"%"), QByteArray(), true);
    row("percents against empty", g(u"%%%"), QByteArray(), true);
    row("one against empty", g(u"_"), QByteArray(), false);
    row("literal against empty", g(u"明"), QByteArray(), false);
    row("percent against text", g(u"%"), g(u"明月"), true);

    // ESCAPE.
    escRow("escaped percent", g(u"100!%"), g(u"100%"), g(u"!"), true);
    escRow("escaped percent is literal", g(u"100!%"), g(u"1000"), g(u"!"), false);
    escRow("escaped one", g(u"%!_%"), g(u"a_b"), g(u"!"), true);
    escRow("escaped one is literal", g(u"%!_%"), g(u"ab"), g(u"!"), false);
    escRow("escaped escape", g(u"a!!b"), g(u"a!b"), g(u"!"), true);
    escRow("escaped letter still folds", g(u"!A"), g(u"a"), g(u"!"), true);
    escRow("escaped Chinese", g(u"!明月%"), g(u"明月夜"), g(u"!"), true);
    escRow("trailing escape", g(u"abc!"), g(u"abc!"), g(u"!"), false);
    escRow("trailing escape, shorter text", g(u"abc!"), g(u"abc"), g(u"!"), false);
    escRow("escaped percent before percent", g(u"%abc!%%"), g(u"xabc%yy"), g(u"!"), true);
    escRow("escaped percent before percent, missing", g(u"%abc!%%"), g(u"xabc"), g(u"!"), false);
    escRow("percent then escaped percent", g(u"abc%!%"), g(u"abcd%"), g(u"!"), true);
    escRow("percent then escaped percent, missing", g(u"abc%!%"), g(u"abc"), g(u"!"), false);
    escRow("Chinese escape", g(u"50。%"), g(u"50%"), g(u"。"), true);
    escRow("Chinese escape, literal", g(u"50。%"), g(u"500"), g(u"。"), false);
    escRow("percent as escape", g(u"a%%"), g(u"a%"), g(u"%"), true);
    escRow("percent as escape is no wildcard", g(u"a%%"), g(u"ab"), g(u"%"), false);
    escRow("percent as escape, trailing", g(u"a%"), g(u"a%"), g(u"%"), false);
    escRow("one as escape", g(u"%__"), g(u"abc_"), g(u"_"), true);
    escRow("one as escape, literal", g(u"%__"), g(u"abc"), g(u"_"), false);
    // 乗 is 81 5C: its second byte is a backslash but not an escape.
    escRow("escape byte inside a char", g(u"乗%"), g(u"乗abc"), g(u"\\"), true);
    escRow("escape byte inside a char, literal", g(u"%乗_"), g(u"x乗y"), g(u"\\"), true);
}

void TestGbkLike::matcher()
{
    QFETCH(QByteArray, pattern);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, escape);
    QFETCH(bool, hasEscape);
    QFETCH(bool, expected);

    QCOMPARE(gbkLike(pattern, text, escapeOf(escape, hasEscape)), expected);
    // A parsed pattern gives the same answer again: nothing is consumed.
    const GbkLikePattern parsed(pattern, escapeOf(escape, hasEscape));
    QVERIFY(parsed.isValid());
    QCOMPARE(parsed.matches(text), expected);
    QCOMPARE(parsed.matches(text), expected);
}

void TestGbkLike::pathologicalPatternsFinish_data()
{
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("expected");

    const QByteArray as(20000, 'a');
    const QString moons(10000, QChar(u'月'));
    QTest::newRow("many a then b") << g(u"%a%a%a%a%a%a%a%a%a%a%a%a%b") << as << false;
    QTest::newRow("many a then a") << g(u"%a%a%a%a%a%a%a%a%a%a%a%a%a") << as << true;
    QTest::newRow("ones and percents") << g(u"%_%_%_%_%_%_%_%_%_%_%b") << as << false;
    QTest::newRow("long literal runs") << g(u"%aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab%") << as << false;
    QTest::newRow("Chinese") << g(u"%月%月%月%月%月%月%月%月%月%月%明") << g(moons) << false;
    QTest::newRow("Chinese with ones") << g(u"%月_月%月_月%月_月%月_月%明") << g(moons) << false;
}

void TestGbkLike::pathologicalPatternsFinish()
{
    QFETCH(QByteArray, pattern);
    QFETCH(QByteArray, text);
    QFETCH(bool, expected);

    // A backtracking matcher needs longer than the age of the universe here; a
    // linear one a few milliseconds. The bound only tells the two apart.
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(gbkLike(pattern, text), expected);
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QStringLiteral("took %1 ms").arg(timer.elapsed())));
}

void TestGbkLike::invalidEscapeMatchesNothing()
{
    for (const QByteArray &escape : {QByteArray(), QByteArray("ab"), g(u"明月")}) {
        const GbkLikePattern parsed(g(u"%"), QByteArrayView(escape));
        QVERIFY2(!parsed.isValid(), escape.toHex().constData());
        QVERIFY(!parsed.matches(g(u"明月")));
    }
}

// On ASCII, GBK and UTF-8 are the same bytes, so SQLite's own LIKE is a
// trustworthy judge. The escape is kept away from '%' and '_', where older
// SQLite releases let the wildcard win.
void TestGbkLike::agreesWithSqliteOnAscii()
{
    sqlite3 *raw = nullptr;
    QCOMPARE(sqlite3_open(":memory:", &raw), SQLITE_OK);
    const std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
    sqlite3_stmt *plain = nullptr;
    sqlite3_stmt *escaped = nullptr;
    QCOMPARE(sqlite3_prepare_v2(raw, "select ?2 like ?1", -1, &plain, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_prepare_v2(raw, "select ?2 like ?1 escape '!'", -1, &escaped, nullptr), SQLITE_OK);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> plainGuard(plain, sqlite3_finalize);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> escapedGuard(escaped, sqlite3_finalize);

    QRandomGenerator random(20240611);
    const auto make = [&random](const char *alphabet, int maxLength) {
        const int length = int(random.bounded(maxLength + 1));
        const int size = int(qstrlen(alphabet));
        QByteArray out;
        for (int i = 0; i < length; ++i)
            out.append(alphabet[random.bounded(size)]);
        return out;
    };
    for (int i = 0; i < 20000; ++i) {
        const bool withEscape = i % 2 == 1;
        const QByteArray pattern = make(withEscape ? "aAb%_!" : "aAbB%_", 7);
        const QByteArray text = make("aAbB%_!", 8);
        sqlite3_stmt *st = withEscape ? escaped : plain;
        sqlite3_reset(st);
        sqlite3_bind_text(st, 1, pattern.constData(), int(pattern.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        QCOMPARE(sqlite3_step(st), SQLITE_ROW);
        const bool builtin = sqlite3_column_int(st, 0) != 0;
        const std::optional<QByteArrayView> escape =
            withEscape ? std::optional<QByteArrayView>("!") : std::nullopt;
        const bool ours = gbkLike(pattern, text, escape);
        if (ours != builtin)
            QFAIL(qPrintable(QStringLiteral("'%1' like '%2'%3: ours %4, SQLite %5")
                                 .arg(QString::fromLatin1(text), QString::fromLatin1(pattern),
                                      withEscape ? QStringLiteral(" escape '!'") : QString())
                                 .arg(ours)
                                 .arg(builtin)));
    }
}

// Characters chosen so that byte searches go wrong if boundaries are ignored:
// 懊 B0C3 and 鳌 F7A1 put 明's bytes C3F7 across two characters, 亅 81 7C
// hides '|', 乤 81 61 hides 'a', 乢 81 5F hides '_', 𠀀 is four bytes.
void TestGbkLike::agreesWithReferenceOnGbk()
{
    const QList<QString> textChars = {u"明"_s, u"月"_s, u"懊"_s, u"鳌"_s, u"亅"_s, u"乤"_s,
                                      u"乢"_s, u"a"_s, u"A"_s, u"|"_s, u"𠀀"_s, u"!"_s};
    const QList<QString> patternChars = textChars + QList<QString>{u"%"_s, u"_"_s, u"%"_s};
    QRandomGenerator random(17);
    const auto make = [&random](const QList<QString> &alphabet, int maxLength) {
        const int length = int(random.bounded(maxLength + 1));
        QString out;
        for (int i = 0; i < length; ++i)
            out += alphabet[random.bounded(int(alphabet.size()))];
        return out;
    };
    for (int i = 0; i < 30000; ++i) {
        const bool withEscape = i % 3 == 2;
        const QString pattern = make(patternChars, 6);
        const QString text = make(textChars, 9);
        const bool expected = reference::like(pattern, text, withEscape ? std::optional<char32_t>(U'!')
                                                                      : std::nullopt);
        const bool ours = gbkLike(g(pattern), g(text),
                                  withEscape ? std::optional<QByteArrayView>("!") : std::nullopt);
        if (ours != expected)
            QFAIL(qPrintable(QStringLiteral("'%1' like '%2'%3: ours %4, expected %5")
                                 .arg(text, pattern, withEscape ? QStringLiteral(" escape '!'") : QString())
                                 .arg(ours)
                                 .arg(expected)));
    }
}

void TestGbkLike::sqlSearch_data()
{
    QTest::addColumn<QByteArray>("column");
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QByteArray>("escape");
    QTest::addColumn<QList<qint64>>("ids");

    const QByteArray none;
    QTest::newRow("two characters") << QByteArray("nr") << g(u"%明月%") << none << QList<qint64>{1, 9};
    QTest::newRow("another word") << QByteArray("nr") << g(u"%东风%") << none << QList<qint64>{8};
    QTest::newRow("none") << QByteArray("nr") << g(u"%黄昏%") << none << QList<qint64>{};
    QTest::newRow("prefix") << QByteArray("nr") << g(u"明月%") << none << QList<qint64>{1, 9};
    QTest::newRow("wildcard one") << QByteArray("nr") << g(u"%明月_时%") << none << QList<qint64>{1};
    QTest::newRow("wildcard any") << QByteArray("nr") << g(u"%江%去%") << none << QList<qint64>{3};
    QTest::newRow("five-F trail") << QByteArray("nr") << g(u"%乢%") << none << QList<qint64>{5};
    QTest::newRow("bar") << QByteArray("nr") << g(u"%|%") << none << QList<qint64>{};
    QTest::newRow("latin folds") << QByteArray("nr") << g(u"%moon river%") << none << QList<qint64>{6};
    QTest::newRow("quote") << QByteArray("nr") << g(u"%t's%") << none << QList<qint64>{8};
    QTest::newRow("escaped percent") << QByteArray("nr") << g(u"%100!%%") << g(u"!") << QList<qint64>{6};
    QTest::newRow("escaped one") << QByteArray("nr") << g(u"%a!_b%") << g(u"!") << QList<qint64>{8};
    QTest::newRow("everything but NULL") << QByteArray("nr") << g(u"%") << none
                                         << QList<qint64>{1, 2, 3, 4, 5, 6, 8, 9};
    QTest::newRow("title") << QByteArray("title") << g(u"%江%") << none << QList<qint64>{2, 9};
    QTest::newRow("author") << QByteArray("zz") << g(u"%苏轼%") << none << QList<qint64>{1, 2, 3};
    QTest::newRow("author seven-C trail") << QByteArray("zz") << g(u"亅") << none << QList<qint64>{5};
}

void TestGbkLike::sqlSearch()
{
    QFETCH(QByteArray, column);
    QFETCH(QByteArray, pattern);
    QFETCH(QByteArray, escape);
    QFETCH(QList<qint64>, ids);

    SqliteConnection connection(m_fixture, kCollectionKey);
    // The list statement as the program writes it, GBK aliases included.
    QByteArray sql = g(u"select id,title as 作品,zz as 作者 from shi where ") + column + " like ?";
    if (!escape.isEmpty())
        sql += " escape ?";
    auto statement = connection.prepare(sql);
    statement.bind(1, pattern);
    if (!escape.isEmpty())
        statement.bind(2, escape);
    QCOMPARE(idsOf(statement), ids);

    // The same pattern written into the statement as a literal.
    if (escape.isEmpty()) {
        const QByteArray quoted = QByteArray(pattern).replace("'", "''");
        auto literal = connection.prepare("select id from shi where " + column + " like '" + quoted + "'");
        QCOMPARE(idsOf(literal), ids);
    }
}

void TestGbkLike::sqlNullOperands()
{
    SqliteConnection connection(m_fixture, kCollectionKey);
    sqlite3_stmt *raw = nullptr;
    QCOMPARE(sqlite3_prepare_v2(connection.handle(),
                                "select null like 'a', 'a' like null, 'a' like 'a' escape null,"
                                " 'a' like 'a', '' like ''",
                                -1, &raw, nullptr),
             SQLITE_OK);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> st(raw, sqlite3_finalize);
    QCOMPARE(sqlite3_step(raw), SQLITE_ROW);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(sqlite3_column_type(raw, i), SQLITE_NULL);
    QCOMPARE(sqlite3_column_int(raw, 3), 1);
    QCOMPARE(sqlite3_column_int(raw, 4), 1);

    // A poem without text is neither like nor not like a term.
    auto notLike = connection.prepare("select id from shi where nr not like ?");
    notLike.bind(1, g(u"%明月%"));
    QCOMPARE(idsOf(notLike), (QList<qint64>{2, 3, 4, 5, 6, 8}));
}

// Numbers and blobs take part as their bytes, as with the built-in LIKE.
void TestGbkLike::sqlOperandTypes()
{
    SqliteConnection connection(m_fixture, kCollectionKey);
    auto statement = connection.prepare(
        "select 1234 like '12%', '12' like 12, 1.5 like '1._', x'C3F7D4C2' like ?, ? like x'C3F7',"
        " x'' like ''");
    statement.bind(1, g(u"明月"));
    statement.bind(2, g(u"明"));
    QVERIFY(statement.step());
    for (int i = 0; i < statement.columnCount(); ++i)
        QVERIFY2(statement.columnBytes(i) == "1", qPrintable(QString::number(i)));
}

// Like the built-in LIKE, a pattern longer than the connection's limit is an
// error rather than a long scan.
void TestGbkLike::sqlPatternLengthLimit()
{
    SqliteConnection connection(m_fixture, kCollectionKey);
    sqlite3_limit(connection.handle(), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, 8);
    auto fits = connection.prepare("select count(*) from shi where nr like ?");
    fits.bind(1, g(u"%明月%"));
    QVERIFY(fits.step());
    QCOMPARE(fits.columnBytes(0), QByteArray("2"));

    auto tooLong = connection.prepare("select count(*) from shi where nr like ?");
    tooLong.bind(1, g(u"%明月几时%"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, tooLong.step());
}

void TestGbkLike::sqlBadEscapeIsAnError_data()
{
    QTest::addColumn<QByteArray>("escape");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("two ASCII") << QByteArray("!!");
    QTest::newRow("two Chinese") << g(u"明月");
}

void TestGbkLike::sqlBadEscapeIsAnError()
{
    QFETCH(QByteArray, escape);
    SqliteConnection connection(m_fixture, kCollectionKey);
    auto statement = connection.prepare("select id from shi where nr like ? escape ?");
    statement.bind(1, g(u"%明月%"));
    statement.bind(2, escape);
    try {
        statement.step();
        QFAIL("a bad escape was accepted");
    } catch (const DatabaseError &error) {
        QVERIFY2(QByteArray(error.what()).contains("ESCAPE expression must be a single character"),
                 error.what());
    }
}

// The parsed pattern is kept between rows; it must follow a pattern or an
// escape that changes from row to row.
void TestGbkLike::sqlCachedPatternFollowsArguments()
{
    SqliteConnection connection(m_fixture, kCollectionKey);

    auto byPattern = connection.prepare(
        "select (select count(*) from shi where nr like p) from"
        " (select ? as p, 1 as k union all select ?, 2 union all select ?, 3) order by k");
    byPattern.bind(1, g(u"%明月%"));
    byPattern.bind(2, g(u"%东风%"));
    byPattern.bind(3, g(u"%明月%"));
    QCOMPARE(idsOf(byPattern), (QList<qint64>{2, 1, 2}));

    // Constant pattern, changing escape: with '!' it is "a%", with '#' it is
    // "a!" followed by anything.
    auto byEscape = connection.prepare(
        "select 'a%' like 'a!%' escape e from"
        " (select '!' as e, 1 as k union all select '#', 2 union all select '!', 3) order by k");
    QCOMPARE(idsOf(byEscape), (QList<qint64>{1, 0, 1}));

    // Constant text, changing pattern in the same column.
    auto byRow = connection.prepare(
        "select t like p from (select ? as t) join"
        " (select ? as p, 1 as k union all select ?, 2 union all select ?, 3) order by k");
    byRow.bind(1, g(u"明月几时有"));
    byRow.bind(2, g(u"%几时%"));
    byRow.bind(3, g(u"%东风%"));
    byRow.bind(4, g(u"明月%"));
    QCOMPARE(idsOf(byRow), (QList<qint64>{1, 0, 1}));
}

QTEST_GUILESS_MAIN(TestGbkLike)
#include "tst_gbk_like.moc"
