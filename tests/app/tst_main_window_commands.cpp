// The reading pane's commands as the main window wires them: read aloud and
// stop (on a recording engine), the pane's menu, copying, the About dialog and
// the status-bar links.
#include "../reader/fake_speech_engine.h"
#include "about/Unit3.h"
#include "app/hidden_web_view.h"
#include "app/tangshi.h"
#include "app/vennali_application.h"
#include "app/web_endpoints.h"
#include "fixture_database.h"
#include "ui_tangshi.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// Records the addresses handed to the browser.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }
};

class MainWindowCommandsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void paneMenuHasItsItemsInOrder();
    void rightClickOnThePaneOpensItsMenu();
    void readAloudFromFrameAndMenu();
    void speechFailureIsShownInTheErrorBox();
    void copyingWhileReadingDoesNotStopIt();
    void closingAboutResetsThePaneAndRequestsStatisticsAgain();
    void statusLinksOpenTheHomePage();

private:
    void showPoem(int row);

    QTemporaryDir m_dir;
    QString m_database;
    std::shared_ptr<FakeSpeechService> m_speech;
    std::unique_ptr<Tftangshi> m_window;
    UrlRecorder m_urls;
};

void MainWindowCommandsTest::initTestCase()
{
    m_database = m_dir.filePath(QStringLiteral("songci.idb"));
    fixture::writeDatabase(m_database, {
        {QStringLiteral("水调歌头·明月几时有"), QStringLiteral("苏轼"), QStringLiteral("明月几时有？\r\n把酒问青天。"), QStringLiteral("水调歌头")},
        {QStringLiteral("如梦令"), QStringLiteral("李清照"), QStringLiteral("昨夜雨疏风骤。"), QStringLiteral("如梦令")},
    });
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_urls, "open");
}

void MainWindowCommandsTest::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

void MainWindowCommandsTest::init()
{
    m_speech = std::make_shared<FakeSpeechService>();
    m_speech->voices = {{QStringLiteral("English"), QLocale(QLocale::English), QStringLiteral("English")},
                        {QStringLiteral("Chinese (Mandarin)"), QLocale(QLocale::Chinese, QLocale::China),
                         QStringLiteral("Chinese (Mandarin) - Chinese (China)")}};
    m_window = std::make_unique<Tftangshi>(m_database, fakeSpeechFactory(m_speech));
    m_urls.opened.clear();
}

void MainWindowCommandsTest::cleanup()
{
    m_window.reset();
}

void MainWindowCommandsTest::showPoem(int row)
{
    auto &ui = m_window->form();
    ui.DBGridEh1->setCurrentIndex(m_window->listQuery().index(row, 1));
    m_window->DBGridEh1CellClick(ui.DBGridEh1->currentIndex());
}

void MainWindowCommandsTest::paneMenuHasItsItemsInOrder()
{
    QStringList captions;
    for (QAction *item : m_window->paneMenu()->actions())
        captions.append(item->isSeparator() ? QStringLiteral("-") : item->text());
    QCOMPARE(captions, (QStringList{QStringLiteral("复制所选"), QStringLiteral("复制全文"), QStringLiteral("-"),
                                    QStringLiteral("全文朗读"), QStringLiteral("暂停朗读"), QStringLiteral("-"),
                                    QStringLiteral("关于...")}));
}

void MainWindowCommandsTest::rightClickOnThePaneOpensItsMenu()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QWidget *viewport = m_window->form().rc->viewport();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20), viewport->mapToGlobal(QPoint(20, 20)));
    QCoreApplication::sendEvent(viewport, &event);
    QTRY_VERIFY(m_window->paneMenu()->isVisible());
    m_window->paneMenu()->hide();
}

void MainWindowCommandsTest::readAloudFromFrameAndMenu()
{
    auto &ui = m_window->form();
    showPoem(0);
    const QString text = ui.rc->toPlainText();
    QVERIFY(!m_window->VoiceChosen());
    QCOMPARE(m_speech->enginesMade, 0);

    // Speech runs on its own thread: the calls arrive shortly after.
    ui.StaticText1->clicked();
    const QStringList first{QStringLiteral("voices"), QStringLiteral("voice Chinese (Mandarin)"),
                            QStringLiteral("rate -3"), QStringLiteral("purge"), QStringLiteral("speak ") + text};
    QTRY_COMPARE(m_speech->callsMade(), first);
    QVERIFY(m_window->VoiceChosen());

    // Asking again restarts from the top, without choosing the voice again.
    ui.N20->trigger();
    const QStringList again = first + QStringList{QStringLiteral("rate -3"), QStringLiteral("purge"),
                                                  QStringLiteral("speak ") + text};
    QTRY_COMPARE(m_speech->callsMade(), again);

    const qsizetype before = m_speech->callsMade().size();
    ui.StaticText2->clicked();
    QTRY_COMPARE(m_speech->callsMade().size(), before + 1);
    ui.N21->trigger();
    QTRY_COMPARE(m_speech->callsMade().mid(before), (QStringList{QStringLiteral("purge"), QStringLiteral("purge")}));
    QCOMPARE(m_speech->enginesMade, 1);
}

void MainWindowCommandsTest::speechFailureIsShownInTheErrorBox()
{
    QStringList errors;
    const auto previous = VennaliApplication::setErrorPresenter([&](const QString &m) { errors.append(m); });
    m_speech->failingCall = QStringLiteral("speak");
    showPoem(0);
    m_window->form().N20->trigger();
    QTRY_COMPARE(errors, QStringList{QStringLiteral("speak failed")});
    VennaliApplication::setErrorPresenter(previous);
}

void MainWindowCommandsTest::copyingWhileReadingDoesNotStopIt()
{
    auto &ui = m_window->form();
    m_window->HighlightTerm = QStringLiteral("明月");
    showPoem(0);
    ui.N20->trigger();
    QTRY_VERIFY(m_speech->callsMade().size() >= 5);
    const QStringList spoken = m_speech->callsMade();

    ui.N24->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), ui.rc->toPlainText());
    QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasHtml());

    ui.rc->moveCursor(QTextCursor::Start);
    ui.N17->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());

    QTextCursor cursor = ui.rc->textCursor();
    cursor.setPosition(2);
    cursor.setPosition(8, QTextCursor::KeepAnchor);
    ui.rc->setTextCursor(cursor);
    ui.N17->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), ui.rc->toPlainText().mid(2, 6));
    QTest::qWait(50);
    QCOMPARE(m_speech->callsMade(), spoken);
}

void MainWindowCommandsTest::closingAboutResetsThePaneAndRequestsStatisticsAgain()
{
    // The About page comes from a port where nothing listens: no network.
    TForm3 about(m_window.get(), QUrl(QStringLiteral("http://127.0.0.1:9/about")));
    m_window->attachAboutDialog(&about);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    // The first showing requests the statistics page once the window painted.
    QTRY_COMPARE(m_window->form().EmbeddedWB1->requestCount(), 1);
    showPoem(1);
    QVERIFY(!m_window->form().rc->toPlainText().isEmpty());

    QSignalSpy activations(m_window.get(), &Tftangshi::activated);
    QSignalSpy requests(m_window->form().EmbeddedWB1, &HiddenWebView::requested);
    bool wasShown = false;
    QTimer::singleShot(100, &about, [&] {
        wasShown = about.isVisible();
        about.Button1Click();
    });
    m_window->form().Label5->clicked();
    QVERIFY(wasShown);
    QVERIFY(!about.isVisible());
    QTRY_COMPARE(activations.size(), 1);
    QCOMPARE(m_window->form().rc->toPlainText(), QString());
    QTRY_COMPARE(requests.size(), 1);
    QCOMPARE(requests.first().first().toUrl(), QUrl(web::mainStatsUrl()));

    // The menu item opens it the same way.
    QTimer::singleShot(100, &about, [&] { about.Button1Click(); });
    m_window->form().N23->trigger();
    QTRY_COMPARE(activations.size(), 2);
}

void MainWindowCommandsTest::statusLinksOpenTheHomePage()
{
    m_window->form().Label6->clicked();
    // Before the rotator shows a caption its link is the site root.
    m_window->form().Label15->clicked();
    QCOMPARE(m_urls.opened, (QList<QUrl>{QUrl(web::homePageUrl()), QUrl(web::homePageUrlWithoutSlash())}));
    QVERIFY(m_window->form().Label15->text().startsWith(QStringLiteral("软件主页：")));
}

QTEST_MAIN(MainWindowCommandsTest)
#include "tst_main_window_commands.moc"
