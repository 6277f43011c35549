// Runs the real songci-builder on a small corpus written for each test and
// reads back what it wrote.

#include "app/gbk_text.h"
#include "collection/sqlite_connection.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <memory>

namespace {

const QByteArray kKey = "mirv2031460K";
const QString kSelection = QStringLiteral("宋词三百首.json");

// Three selection poems: a tune without alias, a "・" alias, traditional text.
const QByteArray kSelectionJson = R"([
 {"author": "黄孝迈", "paragraphs": ["近清明。", "翠禽枝上消魂。"], "rhythmic": "湘春夜月", "tags": ["宋词三百首"]},
 {"author": "吴文英", "paragraphs": ["羞红颦浅恨，晚风为落，片绣点重茵。", "旧堤分燕尾。"], "rhythmic": "渡江云三犯・渡江云", "tags": ["宋词三百首"]},
 {"author": "李從周", "paragraphs": ["夢魂尋遍。", "忽向尊前見。"], "rhythmic": "清平樂", "tags": ["宋词三百首"]}
])";

// Numbered so that sorting by name would put 10000 before 2000.
const QByteArray kFile0 = R"([
 {"author": "和岘", "paragraphs": ["承宝运，驯致隆平。", "鸿庆被寰瀛。"], "rhythmic": "十二时・忆少年"},
 {"author": "黄孝迈", "paragraphs": ["近清明。", "翠禽枝上消魂。"], "rhythmic": "湘春夜月"},
 {"author": "无名氏", "paragraphs": ["近清明。"], "rhythmic": "湘春夜月"}
])";
const QByteArray kFile2000 = R"([
 {"author": "晏殊", "paragraphs": ["一曲新词酒一杯，去年天气旧亭台。"], "rhythmic": "浣溪沙"}
])";
const QByteArray kFile10000 = R"([
 {"author": "无名氏", "paragraphs": ["𧣴□□，春风。"], "rhythmic": "鹧鸪天", "prologue": "序"}
])";
const QByteArray kFile2019y = R"([
 {"author": "吴文英", "paragraphs": ["羞红颦浅恨，又一版。"], "rhythmic": "渡江云三犯・渡江云"},
 {"author": "李从周", "paragraphs": ["夢魂尋遍。"], "rhythmic": "清平乐"}
])";

struct ExpectedRow
{
    qint64 id;
    QString title;
    QString zz;
    QString nr;
    QString sort;
};

const std::vector<ExpectedRow> kExpectedRows{
    {1, "湘春夜月·近清明", "黄孝迈", "近清明。\r\n翠禽枝上消魂。", "湘春夜月"},
    {2, "渡江云三犯·渡江云", "吴文英", "羞红颦浅恨，晚风为落，片绣点重茵。\r\n旧堤分燕尾。", "渡江云三犯"},
    {3, "清平樂·夢魂尋遍", "李從周", "夢魂尋遍。\r\n忽向尊前見。", "清平樂"},
    {4, "十二时·忆少年", "和岘", "承宝运，驯致隆平。\r\n鸿庆被寰瀛。", "十二时"},
    {5, "湘春夜月·近清明", "无名氏", "近清明。", "湘春夜月"},
    {6, "浣溪沙·一曲新词酒一杯", "晏殊", "一曲新词酒一杯，去年天气旧亭台。", "浣溪沙"},
    {7, "鹧鸪天·𧣴□□", "无名氏", "𧣴□□，春风。", "鹧鸪天"},
    {8, "清平乐·夢魂尋遍", "李从周", "夢魂尋遍。", "清平乐"},
};

struct DatabaseCloser
{
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;

struct RunResult
{
    int exitCode = -1;
    QString errorOutput;
};

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFixtureCorpus(const QString &folder)
{
    QVERIFY(QDir().mkpath(folder));
    const QDir dir(folder);
    QVERIFY(writeFile(dir.filePath(kSelection), kSelectionJson));
    QVERIFY(writeFile(dir.filePath("ci.song.0.json"), kFile0));
    QVERIFY(writeFile(dir.filePath("ci.song.2000.json"), kFile2000));
    QVERIFY(writeFile(dir.filePath("ci.song.10000.json"), kFile10000));
    QVERIFY(writeFile(dir.filePath("ci.song.2019y.json"), kFile2019y));
    // Not a poem file; its contents must not matter.
    QVERIFY(writeFile(dir.filePath("author.song.json"), "this is not JSON"));
}

RunResult runBuilder(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(SONGCI_BUILDER), arguments);
    RunResult result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        result.errorOutput = QStringLiteral("did not finish: ") + process.errorString();
        return result;
    }
    result.exitCode = process.exitCode();
    result.errorOutput = QString::fromUtf8(process.readAllStandardError());
    return result;
}

Database openRaw(const QString &fileName)
{
    sqlite3 *raw = nullptr;
    sqlite3_open_v2(QFile::encodeName(fileName).constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    return Database(raw);
}

struct ReadOutcome
{
    int code = SQLITE_OK;
    QString message;
};

// How the first read of the table goes: SQLITE_OK, or SQLite's code and message.
ReadOutcome firstRead(sqlite3 *db)
{
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, "select count(*) from shi", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW)
            rc = SQLITE_OK;
    }
    sqlite3_finalize(stmt);
    if (rc == SQLITE_OK)
        return {};
    return {rc, QString::fromUtf8(sqlite3_errmsg(db))};
}

} // namespace

class TestSongciBuilder : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void writesRowsAsGbkInOrder();
    void readableByTheReadersConnection();
    void unreadableWithoutTheKey_data();
    void unreadableWithoutTheKey();
    void replacesAnOlderOutput();
    void failureLeavesOutputAlone_data();
    void failureLeavesOutputAlone();
    void missingOutputFolder();
    void usage();

private:
    QString buildFixture();

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_corpus;
    QString m_outputFolder;
    QString m_output;
};

void TestSongciBuilder::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_corpus = m_dir->filePath("songci");
    m_outputFolder = m_dir->filePath("run");
    m_output = QDir(m_outputFolder).filePath("songci.idb");
    writeFixtureCorpus(m_corpus);
    QVERIFY(QDir().mkpath(m_outputFolder));
}

QString TestSongciBuilder::buildFixture()
{
    const RunResult result = runBuilder({m_corpus, m_output});
    if (result.exitCode != 0)
        return QStringLiteral("exit %1: %2").arg(result.exitCode).arg(result.errorOutput);
    return {};
}

void TestSongciBuilder::writesRowsAsGbkInOrder()
{
    const QString failure = buildFixture();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));

    // The file must not be plain SQLite, whose header anyone could read.
    QVERIFY(!readFile(m_output).startsWith("SQLite format 3"));
    // Nothing but the database is left in the output folder.
    QCOMPARE(QDir(m_outputFolder).entryList(QDir::Files | QDir::Hidden), QStringList{"songci.idb"});

    const Database db = openRaw(m_output);
    QVERIFY(db);
    QCOMPARE(sqlite3_key(db.get(), kKey.constData(), int(kKey.size())), SQLITE_OK);

    sqlite3_stmt *raw = nullptr;
    QCOMPARE(sqlite3_prepare_v2(db.get(), "select id, title, zz, nr, sort from shi order by rowid",
                                -1, &raw, nullptr),
             SQLITE_OK);
    const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> stmt(raw, &sqlite3_finalize);

    const auto bytes = [&](int column) {
        return QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(raw, column)),
                          sqlite3_column_bytes(raw, column));
    };
    std::size_t count = 0;
    while (sqlite3_step(raw) == SQLITE_ROW) {
        QVERIFY2(count < kExpectedRows.size(), "more rows than poems");
        const ExpectedRow &expected = kExpectedRows[count++];
        QCOMPARE(sqlite3_column_type(raw, 0), SQLITE_INTEGER);
        QCOMPARE(sqlite3_column_int64(raw, 0), expected.id);
        for (int column = 1; column <= 4; ++column)
            QCOMPARE(sqlite3_column_type(raw, column), SQLITE_TEXT);
        QCOMPARE(bytes(1), gbk::encode(expected.title));
        QCOMPARE(bytes(2), gbk::encode(expected.zz));
        QCOMPARE(bytes(3), gbk::encode(expected.nr));
        QCOMPARE(bytes(4), gbk::encode(expected.sort));
    }
    QCOMPARE(count, kExpectedRows.size());
}

void TestSongciBuilder::readableByTheReadersConnection()
{
    const QString failure = buildFixture();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));

    // Known GBK bytes, independent of the encoder under test: 湘春夜月·近清明
    // with the middle dot as A1 A4, and the 4-byte GB18030 form of U+278F4.
    const collection::SqliteConnection connection(m_output, kKey);
    collection::SqliteStatement title = connection.prepare("select title from shi where id = 1");
    QVERIFY(title.step());
    QCOMPARE(title.columnBytes(0).toHex(), QByteArray("cfe6b4bad2b9d4c2a1a4bdfcc7e5c3f7"));

    collection::SqliteStatement rare = connection.prepare("select zz, nr from shi where id = 7");
    QVERIFY(rare.step());
    QCOMPARE(rare.columnBytes(1).left(4).toHex(), QByteArray("9736cb30"));
    QCOMPARE(gbk::decode(rare.columnBytes(1)), QString("𧣴□□，春风。"));

    collection::SqliteStatement count = connection.prepare("select count(*) from shi");
    QVERIFY(count.step());
    QCOMPARE(count.columnBytes(0), QByteArray::number(qsizetype(kExpectedRows.size())));
}

void TestSongciBuilder::unreadableWithoutTheKey_data()
{
    QTest::addColumn<bool>("applyKey");
    QTest::addColumn<QByteArray>("key");

    QTest::newRow("no key") << false << QByteArray();
    QTest::newRow("wrong case") << true << QByteArray("mirv2031460k");
    QTest::newRow("prefix of the key") << true << QByteArray("mirv2031460");
    QTest::newRow("other key") << true << QByteArray("0123456789AB");
}

void TestSongciBuilder::unreadableWithoutTheKey()
{
    QFETCH(bool, applyKey);
    QFETCH(QByteArray, key);

    const QString failure = buildFixture();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));

    const Database db = openRaw(m_output);
    QVERIFY(db);
    if (applyKey)
        QCOMPARE(sqlite3_key(db.get(), key.constData(), int(key.size())), SQLITE_OK);
    // SQLite of this vintage says "file is encrypted or is not a database".
    const ReadOutcome outcome = firstRead(db.get());
    QCOMPARE(outcome.code, SQLITE_NOTADB);
    QVERIFY2(outcome.message.contains("is not a database"), qPrintable(outcome.message));
}

void TestSongciBuilder::replacesAnOlderOutput()
{
    QVERIFY(writeFile(m_output, "an older database"));
    const QString failure = buildFixture();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));

    const Database db = openRaw(m_output);
    QCOMPARE(sqlite3_key(db.get(), kKey.constData(), int(kKey.size())), SQLITE_OK);
    const ReadOutcome outcome = firstRead(db.get());
    QVERIFY2(outcome.code == SQLITE_OK, qPrintable(outcome.message));
    QCOMPARE(QDir(m_outputFolder).entryList(QDir::Files | QDir::Hidden), QStringList{"songci.idb"});
}

void TestSongciBuilder::failureLeavesOutputAlone_data()
{
    // file: the corpus file to replace ("*" removes every ci.song file, an
    // empty name points the builder at a missing folder); contents: its new
    // contents, a null array to delete it.
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("message");

    const QByteArray good = R"({"author": "晏殊", "paragraphs": ["一曲新词。"], "rhythmic": "浣溪沙"})";

    QTest::newRow("missing folder") << QString() << QByteArray() << "no such folder";
    QTest::newRow("missing selection") << kSelection << QByteArray() << "宋词三百首.json is missing";
    QTest::newRow("no corpus files") << "*" << QByteArray() << "no ci.song.*.json files";
    QTest::newRow("malformed selection")
        << kSelection << QByteArray("[" + good + ",") << "宋词三百首.json: malformed JSON";
    QTest::newRow("malformed last file")
        << "ci.song.2019y.json" << QByteArray("[" + good + "] trailing") << "ci.song.2019y.json: malformed JSON";
    QTest::newRow("not an array")
        << "ci.song.2000.json" << good << "ci.song.2000.json: not a JSON array";
    QTest::newRow("missing author")
        << "ci.song.10000.json" << QByteArray("[" + good + R"(, {"paragraphs": ["a。"], "rhythmic": "b"}])")
        << "ci.song.10000.json: poem 2: missing \"author\"";
    QTest::newRow("missing paragraphs")
        << "ci.song.0.json" << QByteArray(R"([{"author": "a", "rhythmic": "b"}])")
        << "ci.song.0.json: poem 1: missing \"paragraphs\"";
    QTest::newRow("missing rhythmic")
        << kSelection << QByteArray(R"([{"author": "a", "paragraphs": ["b。"]}])")
        << "宋词三百首.json: poem 1: missing \"rhythmic\"";
    QTest::newRow("paragraph not text")
        << "ci.song.0.json" << QByteArray(R"([{"author": "a", "paragraphs": [["b"]], "rhythmic": "c"}])")
        << "ci.song.0.json: poem 1: \"paragraphs\" holds something other than text";
}

void TestSongciBuilder::failureLeavesOutputAlone()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, contents);
    QFETCH(QString, message);

    QString corpus = m_corpus;
    const QDir dir(m_corpus);
    if (file.isEmpty()) {
        corpus = m_dir->filePath("no-such-folder");
    } else if (file == "*") {
        for (const QString &name : dir.entryList({"ci.song.*.json"}, QDir::Files))
            QVERIFY(QFile::remove(dir.filePath(name)));
    } else if (contents.isNull()) {
        QVERIFY(QFile::remove(dir.filePath(file)));
    } else {
        QVERIFY(writeFile(dir.filePath(file), contents));
    }

    // Once with no output yet, once over an older one that must survive.
    for (const bool older : {false, true}) {
        const QByteArray olderContents = "an older database";
        if (older)
            QVERIFY(writeFile(m_output, olderContents));

        const RunResult result = runBuilder({corpus, m_output});
        QVERIFY2(result.exitCode > 0, qPrintable(result.errorOutput));
        QVERIFY2(result.errorOutput.startsWith("songci-builder: "), qPrintable(result.errorOutput));
        QVERIFY2(result.errorOutput.contains(message), qPrintable(result.errorOutput));

        if (older) {
            QCOMPARE(readFile(m_output), olderContents);
            QCOMPARE(QDir(m_outputFolder).entryList(QDir::Files | QDir::Hidden),
                     QStringList{"songci.idb"});
        } else {
            QVERIFY(QDir(m_outputFolder).entryList(QDir::Files | QDir::Hidden).isEmpty());
        }
    }
}

void TestSongciBuilder::missingOutputFolder()
{
    const QString output = m_dir->filePath("no-such-folder/songci.idb");
    const RunResult result = runBuilder({m_corpus, output});
    QVERIFY(result.exitCode > 0);
    QVERIFY2(result.errorOutput.contains("no such folder"), qPrintable(result.errorOutput));
    QVERIFY(!QFileInfo::exists(m_dir->filePath("no-such-folder")));
}

void TestSongciBuilder::usage()
{
    for (const QStringList &arguments : {QStringList{}, QStringList{m_corpus},
                                         QStringList{m_corpus, m_output, "extra"}}) {
        const RunResult result = runBuilder(arguments);
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.errorOutput.contains("usage:"), qPrintable(result.errorOutput));
        QVERIFY(!QFileInfo::exists(m_output));
    }
}

QTEST_GUILESS_MAIN(TestSongciBuilder)
#include "tst_songci_builder.moc"
