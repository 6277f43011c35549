#include "tools/corpus.h"

#include <QTest>

using builder::BuildError;
using builder::CorpusFile;
using builder::Poem;
using builder::PoemRow;

class TestCorpus : public QObject
{
    Q_OBJECT

private slots:
    void firstClause_data();
    void firstClause();
    void titleAndTune_data();
    void titleAndTune();
    void authorAndBody_data();
    void authorAndBody();
    void parseKeepsPoemsInOrder();
    void parseRejects_data();
    void parseRejects();
    void fileOrder();
    void selectionFirstThenCorpusWithoutItsDuplicates();
};

void TestCorpus::firstClause_data()
{
    QTest::addColumn<QStringList>("paragraphs");
    QTest::addColumn<QString>("clause");

    QTest::newRow("full stop") << QStringList{"近清明。", "翠禽枝上消魂。"} << "近清明";
    QTest::newRow("comma") << QStringList{"羞红颦浅恨，晚风为落。"} << "羞红颦浅恨";
    QTest::newRow("enumeration comma") << QStringList{"念楚乡旅宿、柔情别绪。"} << "念楚乡旅宿";
    QTest::newRow("question mark") << QStringList{"问何处？春归。"} << "问何处";
    QTest::newRow("corpus alias dot") << QStringList{"近清明・翠禽。"} << "近清明";
    QTest::newRow("ASCII comma") << QStringList{"一曲新词,酒一杯。"} << "一曲新词";
    QTest::newRow("ASCII symbol") << QStringList{"一曲新词|酒一杯"} << "一曲新词";
    QTest::newRow("no punctuation") << QStringList{"一曲新词酒一杯", "去年天气。"} << "一曲新词酒一杯";
    QTest::newRow("only first paragraph") << QStringList{"近清明", "翠禽。"} << "近清明";
    QTest::newRow("placeholder squares are text") << QStringList{"□□春风，"} << "□□春风";
    QTest::newRow("character outside GBK") << QStringList{"𧣴梦难寻。"} << "𧣴梦难寻";
    QTest::newRow("traditional") << QStringList{"夢魂尋遍。"} << "夢魂尋遍";
    QTest::newRow("indent trimmed") << QStringList{"\u3000 近清明。"} << "近清明";
    QTest::newRow("opens with editor's note") << QStringList{"（缺词文）"} << "缺词文";
    QTest::newRow("opens with ellipsis") << QStringList{"……正秋容万里，十分明洁。"} << "正秋容万里";
    QTest::newRow("punctuation-only paragraph") << QStringList{"……", "正秋容。"} << "正秋容";
    QTest::newRow("punctuation only") << QStringList{"。，", "……"} << "";
    QTest::newRow("no paragraphs") << QStringList{} << "";
}

void TestCorpus::firstClause()
{
    QFETCH(QStringList, paragraphs);
    QFETCH(QString, clause);
    QCOMPARE(builder::firstClause(paragraphs), clause);
}

void TestCorpus::titleAndTune_data()
{
    QTest::addColumn<QString>("rhythmic");
    QTest::addColumn<QStringList>("paragraphs");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("sort");

    QTest::newRow("corpus alias separator")
        << "十二时・忆少年" << QStringList{"气和玉烛，睿化著鸿明。"} << "十二时·忆少年" << "十二时";
    QTest::newRow("middle dot already")
        << "渡江云三犯·渡江云" << QStringList{"羞红颦浅恨。"} << "渡江云三犯·渡江云" << "渡江云三犯";
    QTest::newRow("every separator replaced, tune up to the first")
        << "十二时・忆少年・又" << QStringList{"承宝运。"} << "十二时·忆少年·又" << "十二时";
    QTest::newRow("tune alone takes the first clause")
        << "湘春夜月" << QStringList{"近清明。", "翠禽枝上消魂。"} << "湘春夜月·近清明" << "湘春夜月";
    QTest::newRow("quotes in the tune")
        << "“僮至”念奴娇" << QStringList{"大江东去，浪淘尽。"} << "“僮至”念奴娇·大江东去" << "“僮至”念奴娇";
    QTest::newRow("traditional")
        << "清平樂" << QStringList{"夢魂尋遍。"} << "清平樂·夢魂尋遍" << "清平樂";
    QTest::newRow("no text, no dangling separator")
        << "九张机" << QStringList{"（）"} << "九张机" << "九张机";
}

void TestCorpus::titleAndTune()
{
    QFETCH(QString, rhythmic);
    QFETCH(QStringList, paragraphs);
    QFETCH(QString, title);
    QFETCH(QString, sort);

    const PoemRow row = builder::rowFor(Poem{"作者", rhythmic, paragraphs}, 7);
    QCOMPARE(row.title, title);
    QCOMPARE(row.sort, sort);
    QVERIFY(!row.title.contains(QChar(u'\u30FB')));
}

void TestCorpus::authorAndBody_data()
{
    QTest::addColumn<QString>("author");
    QTest::addColumn<QStringList>("paragraphs");
    QTest::addColumn<QString>("nr");

    QTest::newRow("lines joined by CR LF")
        << "黄孝迈" << QStringList{"近清明。", "翠禽枝上消魂。", "可惜一片清歌。"}
        << "近清明。\r\n翠禽枝上消魂。\r\n可惜一片清歌。";
    QTest::newRow("one line, no line break") << "晏殊" << QStringList{"一曲新词酒一杯。"}
                                             << "一曲新词酒一杯。";
    QTest::newRow("quotes kept as they are")
        << "无名氏" << QStringList{"他道\"归来\"。", "又。"} << "他道\"归来\"。\r\n又。";
    QTest::newRow("empty author kept") << "" << QStringList{"近清明。"} << "近清明。";
    QTest::newRow("no paragraphs") << "张" << QStringList{} << "";
}

void TestCorpus::authorAndBody()
{
    QFETCH(QString, author);
    QFETCH(QStringList, paragraphs);
    QFETCH(QString, nr);

    const PoemRow row = builder::rowFor(Poem{author, "浣溪沙", paragraphs}, 42);
    QCOMPARE(row.id, 42);
    QCOMPARE(row.zz, author);
    QCOMPARE(row.nr, nr);
}

void TestCorpus::parseKeepsPoemsInOrder()
{
    const QByteArray json = R"([
        {"author": "黄孝迈", "paragraphs": ["近清明。", "翠禽枝上消魂。"], "rhythmic": "湘春夜月",
         "tags": ["宋词三百首"]},
        {"author": "李從周", "prologue": "序", "paragraphs": [], "rhythmic": "清平樂"}
    ])";
    const std::vector<Poem> poems = builder::parsePoems(json, "x.json");
    QCOMPARE(poems.size(), 2u);
    QCOMPARE(poems[0].author, "黄孝迈");
    QCOMPARE(poems[0].rhythmic, "湘春夜月");
    QCOMPARE(poems[0].paragraphs, (QStringList{"近清明。", "翠禽枝上消魂。"}));
    QCOMPARE(poems[1].author, "李從周");
    QCOMPARE(poems[1].rhythmic, "清平樂");
    QVERIFY(poems[1].paragraphs.isEmpty());

    QVERIFY(builder::parsePoems("[]", "empty.json").empty());
}

void TestCorpus::parseRejects_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("message");

    const QByteArray good = R"({"author": "a", "paragraphs": ["b。"], "rhythmic": "c"})";

    QTest::newRow("empty file") << QByteArray() << "f.json: malformed JSON at byte 0";
    QTest::newRow("truncated") << QByteArray("[" + good) << "f.json: malformed JSON at byte";
    QTest::newRow("object") << good << "f.json: not a JSON array";
    QTest::newRow("poem not an object") << QByteArray("[" + good + ", 3]")
                                        << "f.json: poem 2: not a JSON object";
    QTest::newRow("missing author")
        << QByteArray(R"([{"paragraphs": ["b。"], "rhythmic": "c"}])") << "f.json: poem 1: missing \"author\"";
    QTest::newRow("missing rhythmic")
        << QByteArray("[" + good + R"(, {"author": "a", "paragraphs": ["b。"]}])")
        << "f.json: poem 2: missing \"rhythmic\"";
    QTest::newRow("missing paragraphs")
        << QByteArray(R"([{"author": "a", "rhythmic": "c"}])") << "f.json: poem 1: missing \"paragraphs\"";
    QTest::newRow("author is null")
        << QByteArray(R"([{"author": null, "paragraphs": ["b。"], "rhythmic": "c"}])")
        << "f.json: poem 1: \"author\" is not a string";
    QTest::newRow("rhythmic is a number")
        << QByteArray(R"([{"author": "a", "paragraphs": ["b。"], "rhythmic": 3}])")
        << "f.json: poem 1: \"rhythmic\" is not a string";
    QTest::newRow("paragraphs is a string")
        << QByteArray(R"([{"author": "a", "paragraphs": "b。", "rhythmic": "c"}])")
        << "f.json: poem 1: \"paragraphs\" is not an array";
    QTest::newRow("paragraph is a number")
        << QByteArray(R"([{"author": "a", "paragraphs": ["b。", 3], "rhythmic": "c"}])")
        << "f.json: poem 1: \"paragraphs\" holds something other than text";
}

void TestCorpus::parseRejects()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, message);
    try {
        builder::parsePoems(json, "f.json");
        QFAIL("accepted malformed input");
    } catch (const BuildError &error) {
        const QString actual = QString::fromStdString(error.what());
        QVERIFY2(actual.startsWith(message), qPrintable(actual));
    }
}

void TestCorpus::fileOrder()
{
    const QStringList names{
        "ci.song.2019y.json", "ci.song.10000.json", "宋词三百首.json", "author.song.json",
        "ci.song.2000.json",  "ci.song.0.json",     "ci.song.1000.json", "ci.song.21000.json",
        "ci.song.1000.json.bak", "ci.song.json", "README.md", "ci.song.aa.json",
    };
    const QStringList expected{
        "ci.song.0.json",     "ci.song.1000.json",  "ci.song.2000.json",
        "ci.song.10000.json", "ci.song.21000.json", "ci.song.2019y.json", "ci.song.aa.json",
    };
    QCOMPARE(builder::corpusFileOrder(names), expected);
}

void TestCorpus::selectionFirstThenCorpusWithoutItsDuplicates()
{
    const std::vector<Poem> selection{
        {"黄孝迈", "湘春夜月", {"近清明。", "翠禽枝上消魂。"}},
        {"李從周", "清平樂", {"夢魂尋遍。"}},
        // No text: it must not count as a duplicate of every textless poem.
        {"无名氏", "九张机", {}},
    };
    const std::vector<CorpusFile> files{
        {"ci.song.0.json",
         {
             {"和岘", "十二时・忆少年", {"承宝运，驯致隆平。"}},
             // Same author and clause as the selection, other text: left out.
             {"黄孝迈", "湘春夜月", {"近清明。", "另一版本。"}},
             // Same clause, other author: a different poem.
             {"无名氏", "湘春夜月", {"近清明。"}},
         }},
        {"ci.song.1000.json",
         {
             // Same author, other clause: kept.
             {"黄孝迈", "水龙吟", {"闲情小院沉吟。"}},
             // Simplified form of the selection's traditional author: not the same.
             {"李从周", "清平乐", {"夢魂尋遍。"}},
             {"李從周", "清平樂", {"夢魂尋遍，又。"}},
             {"无名氏", "九张机", {}},
             // Corpus poems repeating each other are all kept.
             {"和岘", "十二时・忆少年", {"承宝运，驯致隆平。"}},
         }},
    };

    std::vector<int> skipped;
    const std::vector<PoemRow> rows = builder::assembleRows(selection, files, &skipped);

    const QStringList expectedTitles{
        "湘春夜月·近清明", "清平樂·夢魂尋遍", "九张机",
        "十二时·忆少年",   "湘春夜月·近清明", "水龙吟·闲情小院沉吟",
        "清平乐·夢魂尋遍", "九张机",         "十二时·忆少年",
    };
    const QStringList expectedAuthors{
        "黄孝迈", "李從周", "无名氏", "和岘", "无名氏", "黄孝迈", "李从周", "无名氏", "和岘",
    };
    QStringList titles;
    QStringList authors;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows[i].id, qint64(i + 1));
        titles << rows[i].title;
        authors << rows[i].zz;
    }
    QCOMPARE(titles, expectedTitles);
    QCOMPARE(authors, expectedAuthors);
    QCOMPARE(skipped, (std::vector<int>{1, 1}));
    QCOMPARE(rows[1].nr, "夢魂尋遍。");
}

QTEST_GUILESS_MAIN(TestCorpus)
#include "tst_corpus.moc"
