// The main window over a small encrypted collection: start-up failures, the
// list and its layout, the search and browse commands, showing and colouring
// a poem, and when the reading pane is reset.
#include "app/gbk_text.h"
#include "app/hidden_web_view.h"
#include "app/instructions_file.h"
#include "app/tangshi.h"
#include "collection/quick_search.h"
#include "fixture_database.h"
#include "ui_tangshi.h"

#include <QAction>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

namespace {

const QString kIndent = QStringLiteral("\u3000\u3000");

// id order matches the vector order (1-based).
const std::vector<fixture::Poem> &poems()
{
    static const std::vector<fixture::Poem> all{
        {QStringLiteral("如梦令·昨夜雨疏风骤"), QStringLiteral("李清照"),
         QStringLiteral("昨夜雨疏风骤，浓睡不消残酒。\r\n试问卷帘人，却道海棠依旧。"), QStringLiteral("如梦令")},
        {QStringLiteral("&quot;菩萨蛮&quot;·小山"), QStringLiteral("温庭筠"),
         QStringLiteral("小山重叠金明灭，明月照人明月在，明月。"), QStringLiteral("菩萨蛮")},
        {QStringLiteral("Latin"), QStringLiteral("ABBA"),
         QStringLiteral("Spring SPRING spring\r\n\r\n \r\n"), QStringLiteral("菩萨蛮令")},
        {QStringLiteral("蝶恋花·AAAA"), QStringLiteral("某"), QStringLiteral("AAAA"), QStringLiteral("蝶恋花")},
        {QStringLiteral("It's"), QStringLiteral("无名氏"), QStringLiteral("君'来何迟。"), QStringLiteral("临江仙")},
        {QStringLiteral("浣溪沙·首句"), QStringLiteral("晏殊"), QStringLiteral("\r\n\r\n首句在此。"), QStringLiteral("浣溪沙")},
        {QStringLiteral("清平乐·村居"), QStringLiteral("辛弃疾"), QStringLiteral("茅檐低小，溪上青青草。"), QStringLiteral("清平乐")},
        {QStringLiteral("水调歌头·明月几时有"), QStringLiteral("苏轼"), QStringLiteral("明月几时有？把酒问青天。"), QStringLiteral("水调歌头")},
        {QStringLiteral("卜算子·咏梅"), QStringLiteral("陆游"), QStringLiteral("驿外断桥边。"), QStringLiteral("卜算子")},
        {QStringLiteral("满江红·写怀"), QStringLiteral("岳飞"), QStringLiteral("怒发冲冠。"), QStringLiteral("满江红")},
        {QStringLiteral("鹧鸪天·彩袖"), QStringLiteral("晏几道"), QStringLiteral("彩袖殷勤捧玉钟。"), QStringLiteral("鹧鸪天")},
        {QStringLiteral("菩萨蛮·其二"), QStringLiteral("韦庄"), QStringLiteral("人人尽说江南好。"), QStringLiteral("菩萨蛮")},
        {QStringLiteral("临江仙·李清照词"), QStringLiteral("李清照"), QStringLiteral("庭院深深深几许。"), QStringLiteral("临江仙")},
    };
    return all;
}

QList<int> idsOf(const collection::PoemListQuery &query)
{
    QList<int> ids;
    for (int row = 0; row < query.rowCount(); ++row)
        ids.append(query.idAt(row).toInt());
    std::sort(ids.begin(), ids.end());
    return ids;
}

// The [start, end) ranges of the pane's text that are shown in red.
QList<QPair<int, int>> redRanges(const QTextDocument &document)
{
    QList<QPair<int, int>> ranges;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().foreground().color() != QColor(255, 0, 0)
                || fragment.charFormat().foreground().style() == Qt::NoBrush)
                continue;
            const int start = fragment.position();
            const int end = start + fragment.length();
            if (!ranges.isEmpty() && ranges.last().second == start)
                ranges.last().second = end;
            else
                ranges.append({start, end});
        }
    }
    return ranges;
}

QList<QPair<int, int>> occurrences(const QString &text, const QString &term)
{
    QList<QPair<int, int>> found;
    for (qsizetype at = text.indexOf(term, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(term, at + term.size(), Qt::CaseInsensitive))
        found.append({int(at), int(at + term.size())});
    return found;
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startupFailsOnBadDatabase_data();
    void startupFailsOnBadDatabase();
    void listShowsWholeCollectionWithLayout();
    void layoutIsRestoredAfterEveryCommand();
    void failedStatementLeavesListEmpty();
    void quickSearch_data();
    void quickSearch();
    void refusedSearchChangesNothing();
    void eachTuneListsOnlyThatTune();
    void browseAllEqualsRefreshAndStopsColouring();
    void showPoem_data();
    void showPoem();
    void clickingSameRowTwiceGivesSameResult();
    void arrowKeysShowThePoemOfTheNewRow();
    void clickOnEmptyListDoesNothing();
    void rowThatIsNotValidGbkIsShownWithReplacementCharacters();
    void activationLoadsInstructionsAndRequestsStatistics();
    void activationAfterProgramWindowResetsPane();
    void tuneMenuHasItsItemsInOrder();
    void tuneMenuOpensBelowLeftOfTheCursor();
    void enlargingTheWindowGrowsListAndPane();

private:
    Tftangshi &window() { return *m_window; }
    void selectRowOfId(int id);
    int showPoemWithId(int id);

    QTemporaryDir m_dir;
    QString m_database;
    std::unique_ptr<Tftangshi> m_window;
    QStringList m_warnings;
};

void MainWindowTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_database = m_dir.filePath(QStringLiteral("songci.idb"));
    fixture::writeDatabase(m_database, poems());
    // Activation reads the instructions file from the current directory.
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void MainWindowTest::init()
{
    QFile::remove(m_dir.filePath(instructions::kFileName));
    m_window = std::make_unique<Tftangshi>(m_database);
    m_warnings.clear();
    m_window->setWarningPresenter([this](const QString &message) { m_warnings.append(message); });
}

void MainWindowTest::cleanup()
{
    m_window.reset();
}

void MainWindowTest::startupFailsOnBadDatabase_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("messagePart");
    QTest::newRow("missing file") << "missing" << "no such file";
    // SQLite takes an empty file for an empty database.
    QTest::newRow("empty file") << "empty" << "no such table: shi";
    QTest::newRow("random bytes") << "random" << "not a database";
    QTest::newRow("plain unencrypted SQLite") << "plain" << "not a database";
    QTest::newRow("wrong key") << "wrongkey" << "not a database";
    QTest::newRow("no table shi") << "notable" << "no such table: shi";
}

void MainWindowTest::startupFailsOnBadDatabase()
{
    QFETCH(QString, kind);
    QFETCH(QString, messagePart);
    m_window.reset();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("songci.idb"));
    if (kind == QLatin1String("empty") || kind == QLatin1String("random")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (kind == QLatin1String("random")) {
            QByteArray noise(8192, '\0');
            for (int i = 0; i < noise.size(); ++i)
                noise[i] = char((i * 7919 + 13) % 251);
            file.write(noise);
        }
    } else if (kind == QLatin1String("plain")) {
        fixture::writeRawDatabase(path, {QStringLiteral("create table shi (id integer primary key, title, zz, nr, sort)")}, {});
    } else if (kind == QLatin1String("wrongkey")) {
        fixture::writeDatabase(path, poems(), "another-key");
    } else if (kind == QLatin1String("notable")) {
        fixture::writeRawDatabase(path, {QStringLiteral("create table poems (id integer primary key)")}, fixture::kKey);
    }
    const QFileInfo before(path);
    const qint64 sizeBefore = before.exists() ? before.size() : -1;

    QString message;
    try {
        Tftangshi failing(path);
        QFAIL("the window opened a bad database");
    } catch (const collection::DatabaseError &error) {
        message = QString::fromUtf8(error.what());
    }
    QVERIFY2(message.contains(messagePart), qPrintable(message));
    // Nothing was created or changed.
    const QFileInfo after(path);
    QCOMPARE(after.exists() ? after.size() : -1, sizeBefore);
}

void MainWindowTest::listShowsWholeCollectionWithLayout()
{
    auto &ui = window().form();
    const auto &list = window().listQuery();
    QCOMPARE(list.rowCount(), int(poems().size()));
    QCOMPARE(list.headerData(1, Qt::Horizontal).toString(), QStringLiteral("作品"));
    QCOMPARE(list.headerData(2, Qt::Horizontal).toString(), QStringLiteral("作者"));
    QCOMPARE(list.data(list.index(0, 1)).toString(), poems()[0].title);
    QCOMPARE(list.data(list.index(0, 2)).toString(), poems()[0].author);
    QVERIFY(ui.DBGridEh1->isColumnHidden(0));
    QCOMPARE(ui.DBGridEh1->columnWidth(1), 155);
    QCOMPARE(ui.DBGridEh1->columnWidth(2), 55);
    QVERIFY(!(list.flags(list.index(0, 1)) & Qt::ItemIsEditable));
}

void MainWindowTest::layoutIsRestoredAfterEveryCommand()
{
    auto &ui = window().form();
    ui.DBGridEh1->setColumnWidth(1, 300);
    ui.DBGridEh1->setColumnWidth(2, 20);
    // A search that finds nothing still shows the headings.
    ui.r1->setChecked(true);
    ui.eso->setText(QStringLiteral("没有这样的标题"));
    window().Button1Click();
    QCOMPARE(window().listQuery().rowCount(), 0);
    QCOMPARE(window().listQuery().headerData(1, Qt::Horizontal).toString(), QStringLiteral("作品"));
    QCOMPARE(window().listQuery().headerData(2, Qt::Horizontal).toString(), QStringLiteral("作者"));
    QCOMPARE(ui.DBGridEh1->columnWidth(1), 155);
    QCOMPARE(ui.DBGridEh1->columnWidth(2), 55);
    QVERIFY(ui.DBGridEh1->isColumnHidden(0));

    ui.DBGridEh1->setColumnWidth(1, 300);
    window().Button3Click();
    QCOMPARE(window().listQuery().rowCount(), int(poems().size()));
    QCOMPARE(ui.DBGridEh1->columnWidth(1), 155);
    QVERIFY(ui.DBGridEh1->isColumnHidden(0));
}

void MainWindowTest::failedStatementLeavesListEmpty()
{
    collection::PoemStatement broken{gbk::encode(QStringLiteral("select id from no_such_table")), {}};
    QVERIFY_THROWS_EXCEPTION(collection::DatabaseError, window().showxx(broken));
    QCOMPARE(window().listQuery().rowCount(), 0);
    QVERIFY(!window().listQuery().isOpen());
    // The next good command shows rows again.
    window().Button3Click();
    QCOMPARE(window().listQuery().rowCount(), int(poems().size()));
}

void MainWindowTest::quickSearch_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QList<int>>("ids");
    QTest::addColumn<QString>("highlight");
    QTest::newRow("author with blanks around") << "r3" << QStringLiteral("  李清照\t") << QList<int>{1, 13} << QStringLiteral("李清照");
    QTest::newRow("one character title") << "r1" << QStringLiteral("梦") << QList<int>{1} << QStringLiteral("梦");
    QTest::newRow("text, two characters") << "r2" << QStringLiteral("明月") << QList<int>{2, 8} << QStringLiteral("明月");
    QTest::newRow("text, four Latin letters, any case") << "r2" << QStringLiteral("spri") << QList<int>{3} << QStringLiteral("spri");
    QTest::newRow("single quote in title") << "r1" << QStringLiteral("It's") << QList<int>{5} << QStringLiteral("It's");
    QTest::newRow("single quote in text") << "r2" << QStringLiteral("君'来") << QList<int>{5} << QStringLiteral("君'来");
    QTest::newRow("underscore is any one character") << "r1" << QStringLiteral("如_令") << QList<int>{1} << QStringLiteral("如_令");
    QTest::newRow("percent is any run") << "r2" << QStringLiteral("小山%明月") << QList<int>{2} << QStringLiteral("小山%明月");
    QTest::newRow("ideographic space is not trimmed") << "r1" << QStringLiteral("\u3000梦") << QList<int>{} << QStringLiteral("\u3000梦");
}

void MainWindowTest::quickSearch()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QList<int>, ids);
    QFETCH(QString, highlight);
    auto &ui = window().form();
    window().findChild<QRadioButton *>(field)->setChecked(true);
    ui.eso->setText(typed);
    window().Button1Click();
    QCOMPARE(m_warnings, QStringList());
    QCOMPARE(idsOf(window().listQuery()), ids);
    QCOMPARE(window().HighlightTerm, highlight);
}

void MainWindowTest::refusedSearchChangesNothing()
{
    struct Case
    {
        const char *field;
        QString typed;
        QString warning;
    };
    const Case cases[] = {
        {"r1", QStringLiteral(" \t "), collection::kEmptySearchWarning},
        {"r2", QString(), collection::kEmptySearchWarning},
        {"r2", QStringLiteral("月"), collection::kShortTextSearchWarning},
        {"r2", QStringLiteral(" abc "), collection::kShortTextSearchWarning},
    };
    auto &ui = window().form();
    // An earlier tune command sets the list and the colouring term.
    ui.N2->trigger();
    const QList<int> before = idsOf(window().listQuery());
    for (const Case &c : cases) {
        m_warnings.clear();
        window().findChild<QRadioButton *>(QLatin1String(c.field))->setChecked(true);
        ui.eso->setText(c.typed);
        window().Button1Click();
        QCOMPARE(m_warnings, QStringList{c.warning});
        QCOMPARE(idsOf(window().listQuery()), before);
        QCOMPARE(window().HighlightTerm, QStringLiteral("蝶恋花"));
    }
}

void MainWindowTest::eachTuneListsOnlyThatTune()
{
    auto &ui = window().form();
    const QList<QAction *> tuneItems{ui.N1, ui.N2, ui.N3, ui.N4, ui.N5, ui.N6, ui.N7, ui.N8, ui.N26};
    QCOMPARE(tuneItems.size(), collection::browseTunes().size());
    for (int i = 0; i < tuneItems.size(); ++i) {
        const QString tune = collection::browseTunes()[i];
        QCOMPARE(tuneItems[i]->text(), tune);
        QList<int> expected;
        for (std::size_t p = 0; p < poems().size(); ++p) {
            if (poems()[p].tune == tune)
                expected.append(int(p) + 1);
        }
        tuneItems[i]->trigger();
        QCOMPARE(idsOf(window().listQuery()), expected);
        QCOMPARE(window().HighlightTerm, tune);
    }
}

void MainWindowTest::browseAllEqualsRefreshAndStopsColouring()
{
    auto &ui = window().form();
    ui.Button3->click();
    const QList<int> refreshed = idsOf(window().listQuery());
    ui.N1->trigger();
    QCOMPARE(window().HighlightTerm, QStringLiteral("菩萨蛮"));
    ui.N16->trigger();
    QCOMPARE(idsOf(window().listQuery()), refreshed);
    QCOMPARE(window().HighlightTerm, QString());
    QCOMPARE(window().listQuery().statement(), collection::allPoemsStatement());
    // A poem shown now carries no colour, even where the old term occurs.
    showPoemWithId(2);
    QVERIFY(ui.rc->toPlainText().contains(QStringLiteral("菩萨蛮")));
    QCOMPARE(redRanges(*ui.rc->document()), (QList<QPair<int, int>>{}));
}

void MainWindowTest::selectRowOfId(int id)
{
    const auto &list = window().listQuery();
    for (int row = 0; row < list.rowCount(); ++row) {
        if (list.idAt(row).toInt() == id) {
            window().form().DBGridEh1->setCurrentIndex(list.index(row, 1));
            return;
        }
    }
    QFAIL("id not in list");
}

int MainWindowTest::showPoemWithId(int id)
{
    selectRowOfId(id);
    window().DBGridEh1CellClick(window().form().DBGridEh1->currentIndex());
    return id;
}

void MainWindowTest::showPoem_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("term");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<int>("redCount");
    const auto head = [](int id) {
        const fixture::Poem &p = poems()[std::size_t(id) - 1];
        return kIndent + QString(p.title).replace(QStringLiteral("&quot;"), QStringLiteral("\"")) + kIndent
               + QStringLiteral("【作者】：") + p.author + QStringLiteral("\n\n");
    };
    QTest::newRow("quote entity in title, no term") << 2 << QString()
        << head(2) + QStringLiteral("小山重叠金明灭，明月照人明月在，明月。") << 0;
    QTest::newRow("term three times") << 2 << QStringLiteral("明月")
        << head(2) + QStringLiteral("小山重叠金明灭，明月照人明月在，明月。") << 3;
    QTest::newRow("lower-case Latin term finds capitals") << 3 << QStringLiteral("spring")
        << head(3) + QStringLiteral("spring spring spring") << 3;
    QTest::newRow("term in the author line") << 1 << QStringLiteral("李清照") << head(1)
        + QStringLiteral("昨夜雨疏风骤，浓睡不消残酒。\n试问卷帘人，却道海棠依旧。") << 1;
    QTest::newRow("adjacent occurrences do not overlap") << 4 << QStringLiteral("AA")
        << head(4) + QStringLiteral("AAAA") << 4;
    QTest::newRow("leading blank lines of the body kept") << 6 << QString()
        << head(6) + QStringLiteral("\n\n首句在此。") << 0;
}

void MainWindowTest::showPoem()
{
    QFETCH(int, id);
    QFETCH(QString, term);
    QFETCH(QString, expectedText);
    QFETCH(int, redCount);
    window().HighlightTerm = term;
    showPoemWithId(id);
    const QTextDocument &document = *window().form().rc->document();
    // QTextDocument keeps paragraphs, not CR LF: compare line by line.
    QCOMPARE(document.toPlainText(), expectedText);
    const QList<QPair<int, int>> red = redRanges(document);
    if (term.isEmpty()) {
        QVERIFY(red.isEmpty());
        return;
    }
    // Every occurrence is red, nothing else is.
    QList<QPair<int, int>> expected = occurrences(document.toPlainText(), term);
    QCOMPARE(expected.size(), redCount);
    // Adjacent occurrences merge into one red run; compare character sets.
    QSet<int> redChars, expectedChars;
    for (auto [s, e] : red)
        for (int i = s; i < e; ++i) redChars.insert(i);
    for (auto [s, e] : expected)
        for (int i = s; i < e; ++i) expectedChars.insert(i);
    QCOMPARE(redChars, expectedChars);
}

void MainWindowTest::clickingSameRowTwiceGivesSameResult()
{
    window().HighlightTerm = QStringLiteral("明月");
    showPoemWithId(2);
    const QString html = window().form().rc->toHtml();
    const QString text = window().form().rc->toPlainText();
    showPoemWithId(2);
    QCOMPARE(window().form().rc->toPlainText(), text);
    QCOMPARE(window().form().rc->toHtml(), html);
    QCOMPARE(redRanges(*window().form().rc->document()).size(), 3);
}

void MainWindowTest::arrowKeysShowThePoemOfTheNewRow()
{
    auto &ui = window().form();
    window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
    showPoemWithId(1);
    ui.DBGridEh1->setFocus();
    QTest::keyClick(ui.DBGridEh1, Qt::Key_Down);
    QVERIFY(ui.rc->toPlainText().contains(poems()[1].author));
    QTest::keyClick(ui.DBGridEh1, Qt::Key_Up);
    QVERIFY(ui.rc->toPlainText().contains(poems()[0].author));
    // A real mouse click on a row shows that row.
    const QModelIndex third = window().listQuery().index(2, 1);
    QTest::mouseClick(ui.DBGridEh1->viewport(), Qt::LeftButton, {}, ui.DBGridEh1->visualRect(third).center());
    QVERIFY(ui.rc->toPlainText().contains(poems()[2].author));
}

void MainWindowTest::clickOnEmptyListDoesNothing()
{
    auto &ui = window().form();
    showPoemWithId(7);
    const QString shown = ui.rc->toPlainText();
    ui.r1->setChecked(true);
    ui.eso->setText(QStringLiteral("没有这样的标题"));
    window().Button1Click();
    QCOMPARE(window().listQuery().rowCount(), 0);
    window().DBGridEh1CellClick(QModelIndex());
    QCOMPARE(ui.rc->toPlainText(), shown);
}

void MainWindowTest::rowThatIsNotValidGbkIsShownWithReplacementCharacters()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("songci.idb"));
    // A lone lead byte, a lead byte before a blank, and 0xFF, which GBK never uses.
    fixture::writeRawDatabase(path, {
        QStringLiteral("create table shi (id integer primary key, title text, zz text, nr text, sort text)"),
        QStringLiteral("insert into shi values (1, cast(X'D4C281' as text), cast(X'FF41' as text), "
                       "cast(X'C3F720D4C2' as text), 'x')"),
    }, fixture::kKey);
    Tftangshi broken(path);
    QCOMPARE(broken.listQuery().rowCount(), 1);
    QVERIFY(broken.listQuery().data(broken.listQuery().index(0, 1)).toString().contains(QChar::ReplacementCharacter));
    broken.form().DBGridEh1->setCurrentIndex(broken.listQuery().index(0, 1));
    broken.DBGridEh1CellClick(broken.form().DBGridEh1->currentIndex());
    const QString shown = broken.form().rc->toPlainText();
    QVERIFY2(shown.startsWith(kIndent + QStringLiteral("月")), qPrintable(shown));
    QVERIFY(shown.contains(QChar::ReplacementCharacter));
    QVERIFY(shown.contains(QStringLiteral("A")));
}

void MainWindowTest::activationLoadsInstructionsAndRequestsStatistics()
{
    auto &ui = window().form();
    window().FormActivate();
    QCOMPARE(ui.rc->toPlainText(), QString());

    const QString instructionsText = QStringLiteral("　　使用说明\n点击一首词。");
    QFile file(instructions::kFileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(gbk::encode(instructionsText));
    file.close();
    // The last poem had its term in red; none of it may colour the instructions.
    window().HighlightTerm = QStringLiteral("明月");
    showPoemWithId(2);
    QCOMPARE(redRanges(*ui.rc->document()).size(), 3);
    QSignalSpy requests(ui.EmbeddedWB1, &HiddenWebView::requested);
    window().FormActivate();
    QCOMPARE(ui.rc->toPlainText(), instructionsText);
    QCOMPARE(redRanges(*ui.rc->document()), (QList<QPair<int, int>>{}));
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().first().toUrl().path(), QStringLiteral("/softtj.php"));
    QCOMPARE(requests.first().first().toUrl().query(), QStringLiteral("soft=qv740index&ref=shuoming"));
}

void MainWindowTest::activationAfterProgramWindowResetsPane()
{
    QWidget about;
    about.setWindowTitle(QStringLiteral("about"));
    about.resize(200, 100);
    QWidget stranger;
    stranger.resize(200, 100);
    window().registerProgramWindow(&about);
    QSignalSpy activations(m_window.get(), &Tftangshi::activated);

    window().show();
    window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window()));
    QTRY_COMPARE(activations.size(), 1);

    // Back from another window that is not one of the program's forms: no reset.
    showPoemWithId(1);
    stranger.show();
    stranger.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&stranger));
    window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window()));
    QCOMPARE(activations.size(), 1);
    QVERIFY(!window().form().rc->toPlainText().isEmpty());

    // Back from a program window (the About dialog): the pane is reset.
    about.show();
    about.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&about));
    about.hide();
    window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window()));
    QTRY_COMPARE(activations.size(), 2);
    QCOMPARE(window().form().rc->toPlainText(), QString());
}

void MainWindowTest::tuneMenuHasItsItemsInOrder()
{
    QStringList captions;
    for (QAction *item : window().tuneMenu()->actions())
        captions.append(item->isSeparator() ? QStringLiteral("-") : item->text());
    QStringList expected;
    for (const QString &tune : collection::browseTunes())
        expected << tune << QStringLiteral("-");
    expected << QStringLiteral("浏览全部");
    QCOMPARE(captions, expected);
}

void MainWindowTest::tuneMenuOpensBelowLeftOfTheCursor()
{
    window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
    QCursor::setPos(400, 300);
    if (QCursor::pos() != QPoint(400, 300))
        QSKIP("this platform does not move the cursor");
    window().Button2Click();
    QTRY_VERIFY(window().tuneMenu()->isVisible());
    QCOMPARE(window().tuneMenu()->pos(), QPoint(370, 312));
    window().tuneMenu()->hide();
}

void MainWindowTest::enlargingTheWindowGrowsListAndPane()
{
    auto &ui = window().form();
    window().resize(809, 612);
    window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
    QCOMPARE(ui.GroupBox3->geometry(), QRect(8, 8, 425, 81));
    QCOMPARE(ui.GroupBox4->geometry(), QRect(448, 8, 353, 81));
    QCOMPARE(ui.GroupBox1->geometry(), QRect(8, 96, 249, 487));
    QCOMPARE(ui.GroupBox2->geometry(), QRect(264, 96, 537, 489));
    QCOMPARE(ui.Panel1->geometry(), QRect(0, 592, 809, 20));
    // Inside a group box the frame the style draws takes a few pixels, so the
    // list and the pane are checked by how they follow the window.
    const QSize listSize = ui.DBGridEh1->size();
    const QSize paneSize = ui.rc->size();
    QVERIFY(qAbs(listSize.width() - 233) <= 8 && qAbs(listSize.height() - 469) <= 12);
    QVERIFY(qAbs(paneSize.width() - 521) <= 8 && qAbs(paneSize.height() - 465) <= 12);

    window().resize(1009, 712);
    QTRY_COMPARE(ui.GroupBox4->width(), 553);
    QCOMPARE(ui.GroupBox3->geometry(), QRect(8, 8, 425, 81));
    QCOMPARE(ui.GroupBox1->geometry(), QRect(8, 96, 249, 587));
    QCOMPARE(ui.GroupBox2->geometry(), QRect(264, 96, 737, 589));
    QCOMPARE(ui.Panel1->geometry(), QRect(0, 692, 1009, 20));
    QCOMPARE(ui.DBGridEh1->size(), listSize + QSize(0, 100));
    QCOMPARE(ui.rc->size(), paneSize + QSize(200, 100));
    QCOMPARE(ui.StaticText1->geometry(), QRect(120, -1, 52, 17));
}

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
