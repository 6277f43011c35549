// Bad input to every command of the main window, on a small collection: search
// texts with quotes, LIKE wildcards, backslashes, control characters,
// characters GBK lacks and great length, in every search field; clicks on an
// empty list; reading aloud and copying an empty pane; an instructions file
// that is huge or not valid GBK. Each gives the right result or the warning,
// never an exception.
#include "../reader/fake_speech_engine.h"
#include "app/gbk_text.h"
#include "app/instructions_file.h"
#include "app/tangshi.h"
#include "collection/quick_search.h"
#include "fixture_database.h"
#include "ui_tangshi.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <exception>

namespace {

const QString kLong = QString(10000, QChar(0x6708)); // 月 × 10,000

// id order matches the vector order (1-based).
const std::vector<fixture::Poem> &poems()
{
    static const std::vector<fixture::Poem> all{
        {QStringLiteral("It's '好'"), QStringLiteral("O'Neil"), QStringLiteral("他说\"好\"，又说'好'。"), QStringLiteral("菩萨蛮")},
        {QStringLiteral("100% 纯"), QStringLiteral("百分_号"), QStringLiteral("满分100%，下划线_在此。"), QStringLiteral("蝶恋花")},
        {QStringLiteral("C:\\路径\\词"), QStringLiteral("反\\斜"), QStringLiteral("反斜杠\\\\两个，还有\\一个。"), QStringLiteral("浣溪沙")},
        {QStringLiteral("制表\t符"), QStringLiteral("控\x01制"), QStringLiteral("正文\t含制表符，\x01含控制字符。"), QStringLiteral("临江仙")},
        {QStringLiteral("表情😀词"), QStringLiteral("𠀀作者"), QStringLiteral("正文😀与𠀀𠀁。"), QStringLiteral("清平乐")},
        {QStringLiteral("长词"), QStringLiteral("某"), kLong + QStringLiteral("终"), QStringLiteral("水调歌头")},
        {QStringLiteral("如梦令·昨夜雨疏风骤"), QStringLiteral("李清照"), QStringLiteral("昨夜雨疏风骤，浓睡不消残酒。"), QStringLiteral("如梦令")},
        {QStringLiteral("Spring"), QStringLiteral("ABBA"), QStringLiteral("Spring SPRING spring"), QStringLiteral("卜算子")},
        {QStringLiteral("百分号"), QStringLiteral("某某"), QStringLiteral("百分号与分号。"), QStringLiteral("满江红")},
        // 癬 is B0 5F in GBK, 癭 B0 60, 癨 B0 5C: a second byte that reads as
        // '_' or '\' on its own.
        {QStringLiteral("癬疥"), QStringLiteral("癨人"), QStringLiteral("癭疥。"), QStringLiteral("鹧鸪天")},
    };
    return all;
}

// LIKE as the quick search means it, written plainly over characters (code
// points, so a character outside the BMP is one): '%' any run, '_' one
// character, ASCII letters regardless of case.
bool like(const QString &pattern, const QString &text)
{
    const QList<uint> p = pattern.toUcs4();
    const QList<uint> t = text.toUcs4();
    const auto fold = [](uint c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
    // matched[j]: the pattern so far matches the first j characters of the text.
    std::vector<char> matched(std::size_t(t.size()) + 1, 0);
    matched[0] = 1;
    for (const uint pc : p) {
        std::vector<char> next(matched.size(), 0);
        for (std::size_t j = 0; j < matched.size(); ++j) {
            if (pc == '%')
                next[j] = matched[j] || (j > 0 && next[j - 1]);
            else if (j > 0)
                next[j] = matched[j - 1] && (pc == '_' || fold(pc) == fold(t[j - 1]));
        }
        matched = std::move(next);
    }
    return matched.back();
}

QString trimmed(const QString &typed)
{
    qsizetype begin = 0;
    qsizetype end = typed.size();
    while (begin < end && typed[begin].unicode() <= 32)
        ++begin;
    while (end > begin && typed[end - 1].unicode() <= 32)
        --end;
    return typed.mid(begin, end - begin);
}

QList<int> expectedIds(const QString &field, const QString &term)
{
    QList<int> ids;
    for (std::size_t i = 0; i < poems().size(); ++i) {
        const fixture::Poem &poem = poems()[i];
        const QString &value = field == QLatin1String("r1") ? poem.title
                               : field == QLatin1String("r3") ? poem.author
                                                              : poem.body;
        if (like(QLatin1Char('%') + term + QLatin1Char('%'), value))
            ids.append(int(i) + 1);
    }
    return ids;
}

QList<int> idsOf(const collection::PoemListQuery &query)
{
    QList<int> ids;
    for (int row = 0; row < query.rowCount(); ++row)
        ids.append(query.idAt(row).toInt());
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Positions of the pane's text that are shown in red.
QList<int> redPositions(const QTextDocument &document)
{
    QList<int> positions;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QBrush brush = fragment.charFormat().foreground();
            if (brush.style() == Qt::NoBrush || brush.color() != QColor(255, 0, 0))
                continue;
            for (int i = 0; i < fragment.length(); ++i)
                positions.append(fragment.position() + i);
        }
    }
    return positions;
}

QList<int> occurrencePositions(const QString &text, const QString &term)
{
    QList<int> positions;
    for (qsizetype at = text.indexOf(term, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(term, at + term.size(), Qt::CaseInsensitive)) {
        for (qsizetype i = at; i < at + term.size(); ++i)
            positions.append(int(i));
    }
    return positions;
}

// QCOMPARE would print both texts whole, megabytes of them.
bool sameText(const QString &actual, const QString &expected, QString *difference)
{
    if (actual == expected)
        return true;
    qsizetype at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    *difference = QStringLiteral("lengths %1 and %2, first difference at %3: \"%4\" instead of \"%5\"")
                      .arg(actual.size()).arg(expected.size()).arg(at)
                      .arg(actual.mid(at, 20), expected.mid(at, 20));
    return false;
}

enum class Expect {
    Found,          // a list in every field
    EmptyWarning,   // nothing left after trimming
    ShortForText,   // fewer than 4 GBK bytes: refused in the text field only
};

} // namespace

class BadInputTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void searchText_data();
    void searchText();
    void clicksOnAnEmptyList();
    void readingAnEmptyPaneOnlyStopsSpeech();
    void copyingAnEmptyPanePutsEmptyText();
    void instructionsFile_data();
    void instructionsFile();

private:
    Tftangshi &window() { return *m_window; }
    void clickRow(int row);

    QTemporaryDir m_dir;
    QString m_database;
    std::shared_ptr<FakeSpeechService> m_speech;
    std::unique_ptr<Tftangshi> m_window;
    QStringList m_warnings;
};

void BadInputTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_database = m_dir.filePath(QStringLiteral("songci.idb"));
    fixture::writeDatabase(m_database, poems());
    // Activation reads the instructions file from the current directory.
    QVERIFY(QDir::setCurrent(m_dir.path()));
    // Activation also loads the statistics page: through a proxy on a
    // loopback port where nothing listens, so no request leaves the machine.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--proxy-server=127.0.0.1:9");
}

void BadInputTest::init()
{
    QFile::remove(instructions::kFileName);
    m_speech = std::make_shared<FakeSpeechService>();
    m_speech->voices = {{QStringLiteral("Chinese (Mandarin)"), QLocale(QLocale::Chinese, QLocale::China),
                         QStringLiteral("Chinese (Mandarin) - Chinese (China)")}};
    m_window = std::make_unique<Tftangshi>(m_database, fakeSpeechFactory(m_speech));
    m_warnings.clear();
    m_window->setWarningPresenter([this](const QString &message) { m_warnings.append(message); });
}

void BadInputTest::cleanup()
{
    m_window.reset();
}

void BadInputTest::clickRow(int row)
{
    auto &ui = window().form();
    ui.DBGridEh1->setCurrentIndex(window().listQuery().index(row, 1));
    window().DBGridEh1CellClick(ui.DBGridEh1->currentIndex());
}

void BadInputTest::searchText_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Expect>("expect");
    const struct
    {
        const char *name;
        QString typed;
        Expect expect;
    } texts[] = {
        {"single quote", QStringLiteral("'"), Expect::ShortForText},
        {"quote inside a word", QStringLiteral("It's"), Expect::Found},
        {"quoted word", QStringLiteral("'好'"), Expect::Found},
        {"double quote", QStringLiteral("\""), Expect::ShortForText},
        {"double-quoted word", QStringLiteral("\"好\""), Expect::Found},
        {"SQL made of quotes", QStringLiteral("' or '1'='1"), Expect::Found},
        {"percent alone", QStringLiteral("%"), Expect::ShortForText},
        {"percent after digits", QStringLiteral("100%"), Expect::Found},
        {"percent between characters", QStringLiteral("百%号"), Expect::Found},
        {"underscore alone", QStringLiteral("_"), Expect::ShortForText},
        {"underscore for one character", QStringLiteral("百分_"), Expect::Found},
        {"underscore for a character outside the BMP", QStringLiteral("表情_词"), Expect::Found},
        {"backslash alone", QStringLiteral("\\"), Expect::ShortForText},
        {"backslashes around", QStringLiteral("\\路径\\"), Expect::Found},
        {"two backslashes", QStringLiteral("\\\\两个"), Expect::Found},
        {"backslash before percent", QStringLiteral("\\%"), Expect::ShortForText},
        {"character whose second byte is an underscore", QStringLiteral("癬疥"), Expect::Found},
        {"character whose second byte is a backslash", QStringLiteral("癨"), Expect::ShortForText},
        {"full-width percent", QStringLiteral("100％"), Expect::Found},
        {"four percents", QStringLiteral("%%%%"), Expect::Found},
        {"four underscores", QStringLiteral("____"), Expect::Found},
        {"NUL inside", QStringLiteral("百分\0号"), Expect::Found},
        {"tab inside", QStringLiteral("制表\t符"), Expect::Found},
        {"tabs around", QStringLiteral("\t制表\t"), Expect::Found},
        {"control character inside", QStringLiteral("控\x01制"), Expect::Found},
        {"control characters only", QStringLiteral("\x01\t\x1f "), Expect::EmptyWarning},
        {"emoji", QStringLiteral("😀"), Expect::Found},
        {"CJK extension B", QStringLiteral("𠀀"), Expect::Found},
        {"CJK extension B pair", QStringLiteral("𠀀𠀁"), Expect::Found},
        {"10,000 characters", kLong, Expect::Found},
        {"10,000 wildcards", QStringLiteral("%_").repeated(5000), Expect::Found},
        {"10,000 quotes", QStringLiteral("'").repeated(10000), Expect::Found},
    };
    const struct
    {
        const char *name;
        const char *button;
    } fields[] = {{"title", "r1"}, {"author", "r3"}, {"text", "r2"}};
    for (const auto &text : texts) {
        for (const auto &field : fields) {
            QTest::addRow("%s, %s", text.name, field.name) << QString::fromLatin1(field.button) << text.typed << text.expect;
        }
    }
}

void BadInputTest::searchText()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(Expect, expect);
    auto &ui = window().form();
    // An earlier tune command sets the list and the colouring term.
    ui.N2->trigger();
    const QList<int> listBefore = idsOf(window().listQuery());
    const QString termBefore = window().HighlightTerm;

    window().findChild<QRadioButton *>(field)->setChecked(true);
    ui.eso->setText(typed);
    QCOMPARE(ui.eso->text(), typed);
    try {
        ui.Button1->click();
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }

    const bool refused = expect == Expect::EmptyWarning || (expect == Expect::ShortForText && field == QLatin1String("r2"));
    if (refused) {
        QCOMPARE(m_warnings, QStringList{expect == Expect::EmptyWarning ? collection::kEmptySearchWarning
                                                                        : collection::kShortTextSearchWarning});
        QCOMPARE(idsOf(window().listQuery()), listBefore);
        QCOMPARE(window().HighlightTerm, termBefore);
        return;
    }
    const QString term = trimmed(typed);
    QCOMPARE(m_warnings, QStringList());
    QCOMPARE(idsOf(window().listQuery()), expectedIds(field, term));
    QCOMPARE(window().HighlightTerm, term);

    // Showing what was found colours the term where it occurs as typed.
    if (window().listQuery().rowCount() == 0)
        return;
    const int id = window().listQuery().idAt(0).toInt();
    try {
        clickRow(0);
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
    const QTextDocument &document = *ui.rc->document();
    QVERIFY(document.toPlainText().contains(poems()[std::size_t(id) - 1].author, Qt::CaseInsensitive));
    QCOMPARE(redPositions(document), occurrencePositions(document.toPlainText(), term));
}

void BadInputTest::clicksOnAnEmptyList()
{
    auto &ui = window().form();
    window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
    clickRow(6);
    const QString shown = ui.rc->toPlainText();
    QVERIFY(!shown.isEmpty());

    ui.r1->setChecked(true);
    ui.eso->setText(QStringLiteral("没有这样的标题"));
    ui.Button1->click();
    QCOMPARE(window().listQuery().rowCount(), 0);

    QWidget *viewport = ui.DBGridEh1->viewport();
    try {
        for (const QPoint at : {QPoint(5, 5), viewport->rect().center(), QPoint(viewport->width() - 2, viewport->height() - 2)}) {
            QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
            QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
            QTest::mouseClick(viewport, Qt::RightButton, {}, at);
        }
        ui.DBGridEh1->setFocus();
        for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_Home, Qt::Key_End, Qt::Key_PageDown, Qt::Key_Return,
                                  Qt::Key_Space, Qt::Key_Tab})
            QTest::keyClick(ui.DBGridEh1, key);
        window().DBGridEh1CellClick(QModelIndex());
        window().DBGridEh1CellClick(window().listQuery().index(0, 1));
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
    QCOMPARE(ui.rc->toPlainText(), shown);
    QCOMPARE(m_warnings, QStringList());

    // Below the only row of a list of one there is nothing to click either.
    ui.eso->setText(QStringLiteral("长词"));
    ui.Button1->click();
    QCOMPARE(window().listQuery().rowCount(), 1);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(20, viewport->height() - 2));
    QCOMPARE(ui.rc->toPlainText(), shown);
}

void BadInputTest::readingAnEmptyPaneOnlyStopsSpeech()
{
    auto &ui = window().form();
    window().FormActivate();
    QCOMPARE(ui.rc->toPlainText(), QString());
    // What reaches the speaker: stops and texts, whatever else is set up.
    const auto spoken = [this] {
        QStringList calls = m_speech->callsMade();
        calls.removeIf([](const QString &call) { return call != QLatin1String("purge") && !call.startsWith(QLatin1String("speak")); });
        return calls;
    };
    try {
        ui.StaticText1->clicked();
        QTRY_COMPARE(spoken(), QStringList{QStringLiteral("purge")});
        ui.N20->trigger();
        QTRY_COMPARE(spoken(), (QStringList{QStringLiteral("purge"), QStringLiteral("purge")}));
        ui.N21->trigger();
        QTRY_COMPARE(spoken(), (QStringList{QStringLiteral("purge"), QStringLiteral("purge"), QStringLiteral("purge")}));
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
    // Nothing is spoken late either.
    QTest::qWait(200);
    QCOMPARE(spoken().size(), 3);
}

void BadInputTest::copyingAnEmptyPanePutsEmptyText()
{
    auto &ui = window().form();
    window().FormActivate();
    QCOMPARE(ui.rc->toPlainText(), QString());
    QClipboard *clipboard = QGuiApplication::clipboard();
    for (QAction *copy : {ui.N17, ui.N24}) {
        clipboard->setText(QStringLiteral("earlier"));
        try {
            copy->trigger();
        } catch (const std::exception &e) {
            QFAIL(e.what());
        }
        QCOMPARE(clipboard->text(), QString());
    }
}

void BadInputTest::instructionsFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    const QByteArray before = gbk::encode(u"使用");
    const QByteArray after = gbk::encode(u"说明");
    const QString replaced = QStringLiteral("使用\uFFFD说明");
    QTest::newRow("0xFF, never a GBK byte") << before + "\xFF" + after << replaced;
    QTest::newRow("0x80 alone") << before + "\x80" + after << replaced;
    QTest::newRow("lead byte before a blank") << before + "\xC3 " + after << QStringLiteral("使用\uFFFD 说明");
    QTest::newRow("lead byte before a line break") << before + "\xC3\n" + after << QStringLiteral("使用\uFFFD\n说明");
    QTest::newRow("lead byte cut off at the end") << before + after + "\xD4" << QStringLiteral("使用说明\uFFFD");
    // Lead, digit, lead, then a blank where the last digit belongs: the bytes
    // after the first are read again, so the digit and the blank survive.
    QTest::newRow("broken four-byte sequence") << before + "\x81\x30\x81 " + after
                                               << QStringLiteral("使用\uFFFD0\uFFFD 说明");

    // About 20 MB of text, as a huge file would be.
    const QString line = QStringLiteral("　　昨夜雨疏风骤，浓睡不消残酒。试问卷帘人，却道海棠依旧。知否，知否？应是绿肥红瘦。\n");
    const QString huge = line.repeated(20 * 1024 * 1024 / int(gbk::byteLength(line)));
    QTest::newRow("20 MB") << gbk::encode(huge) << huge;
}

void BadInputTest::instructionsFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QFile file(instructions::kFileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
    file.close();

    auto &ui = window().form();
    QSignalSpy activations(&window(), &Tftangshi::activated);
    window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
    QTRY_COMPARE(activations.size(), 1);
    QString difference;
    QVERIFY2(sameText(ui.rc->toPlainText(), expected, &difference), qPrintable(difference));

    // The window goes on answering: a search, a poem, and activation again.
    ui.r3->setChecked(true);
    ui.eso->setText(QStringLiteral("李清照"));
    QTest::mouseClick(ui.Button1, Qt::LeftButton);
    QCOMPARE(idsOf(window().listQuery()), QList<int>{7});
    clickRow(0);
    QVERIFY(ui.rc->toPlainText().contains(QStringLiteral("浓睡不消残酒")));
    QVERIFY(!ui.rc->toPlainText().contains(QChar::ReplacementCharacter));
    window().FormActivate();
    QCOMPARE(ui.rc->toPlainText().size(), expected.size());
}

QTEST_MAIN(BadInputTest)
#include "tst_bad_input.moc"
