#include "app/gbk_text.h"
#include "app/web_endpoints.h"
#include "http_test_server.h"
#include "promo/link_list_download.h"
#include "promo/zhua.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;

namespace {

const QString kInitialCaption = QStringLiteral("欢迎使用");
const QString kListPath = QStringLiteral("/en/tangshi.php");

RotatorTiming quickTiming(std::chrono::milliseconds fetchTimeout = 5s)
{
    return RotatorTiming{10ms, 30ms, fetchTimeout};
}

QTimer *timerOf(const Tfz &fz, const char *name)
{
    return fz.findChild<QTimer *>(QLatin1String(name));
}

QString memoOf(const Tfz &fz)
{
    return fz.findChild<QPlainTextEdit *>(QStringLiteral("Memo1"))->toPlainText();
}

bool anyMessageBox()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(),
                       [](QWidget *w) { return qobject_cast<QMessageBox *>(w) != nullptr; });
}

// A body of exactly `size` bytes: the list, then blanks that trimming removes.
QByteArray paddedList(const QByteArray &list, qsizetype size)
{
    return list + QByteArray(size - list.size(), ' ');
}

enum class ServerMode { Answer, Quiet, HangUp, Refuse };

} // namespace

Q_DECLARE_METATYPE(ServerMode)
Q_DECLARE_METATYPE(promo::FetchError)

class TestRotator : public QObject
{
    Q_OBJECT

private slots:
    void defaultsAsShipped();
    void rotatesCaptions_data();
    void rotatesCaptions();
    void fewerThanTwoPairsKeepTheLabel_data();
    void fewerThanTwoPairsKeepTheLabel();
    void failureIsSilentAndFinal_data();
    void failureIsSilentAndFinal();
    void unansweredFetchTimesOutWithoutFreezing();
    void closingDuringTheFetch();
    void requestAsTheServerExpects();
};

void TestRotator::defaultsAsShipped()
{
    QWidget mainWindow;
    QLabel label(kInitialCaption, &mainWindow);
    mainWindow.show();
    Tfz fz(&label, {}, QUrl(), &mainWindow);

    QCOMPARE(timerOf(fz, "timer2")->interval(), 5000);
    QVERIFY(timerOf(fz, "timer2")->isActive());
    QVERIFY(timerOf(fz, "timer2")->isSingleShot());
    QCOMPARE(timerOf(fz, "Timer1")->interval(), 8000);
    QVERIFY(!timerOf(fz, "Timer1")->isActive());
    QCOMPARE(fz.linkUrl(), web::homePageUrlWithoutSlash());
    QCOMPARE(fz.windowTitle(), QStringLiteral("fz"));
    QCOMPARE(fz.size(), QSize(451, 249));
    // Owned by the main window, yet never part of it on screen.
    QVERIFY(fz.isWindow());
    QVERIFY(!fz.isVisible());
}

void TestRotator::rotatesCaptions_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QStringList>("urls");

    QTest::newRow("three pairs cycle")
        << QByteArray("A|u1|B|u2|C|u3") << QStringList{"A", "B", "C", "A"}
        << QStringList{"u1", "u2", "u3", "u1"};
    QTest::newRow("blank splits the first caption")
        << QByteArray("A B|u1|C|u2") << QStringList{"A", "u1", "A", "u1"}
        << QStringList{"B", "C", "B", "C"};
    QTest::newRow("GBK captions with 0x7C trail bytes")
        << gbk::encode(u"東坡|http://a.example/1|遼|http://a.example/2")
        << QStringList{"東坡", "遼", "東坡", "遼"}
        << QStringList{"http://a.example/1", "http://a.example/2", "http://a.example/1",
                       "http://a.example/2"};
    QTest::newRow("body of exactly the size limit")
        << paddedList("A|u1|B|u2", promo::kMaxLinkListBytes) << QStringList{"A", "B", "A", "B"}
        << QStringList{"u1", "u2", "u1", "u2"};
}

void TestRotator::rotatesCaptions()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, captions);
    QFETCH(QStringList, urls);

    HttpTestServer server;
    QVERIFY(server.listen());
    server.answer(200, body);
    QLabel label(kInitialCaption);
    Tfz fz(&label, quickTiming(), server.url(kListPath));

    // What the user would see right after the fetch, before the first step.
    QString labelAtLoad;
    QString linkAtLoad;
    connect(&fz, &Tfz::linksLoaded, &fz, [&] {
        labelAtLoad = label.text();
        linkAtLoad = fz.linkUrl();
    });
    // Connected after the window's own handler, so this sees each step done.
    QStringList shownCaptions, shownMemos, shownUrls;
    connect(timerOf(fz, "Timer1"), &QTimer::timeout, &fz, [&] {
        shownCaptions << label.text();
        shownMemos << memoOf(fz);
        shownUrls << fz.linkUrl();
    });

    QTRY_VERIFY(shownCaptions.size() >= captions.size());
    QCOMPARE(labelAtLoad, kInitialCaption);
    QCOMPARE(linkAtLoad, web::homePageUrlWithoutSlash());
    QCOMPARE(shownCaptions.mid(0, captions.size()), captions);
    QCOMPARE(shownUrls.mid(0, urls.size()), urls);
    QStringList memos;
    for (qsizetype i = 0; i < captions.size(); ++i)
        memos << captions[i] + urls[i];
    QCOMPARE(shownMemos.mid(0, memos.size()), memos);
    QVERIFY(!timerOf(fz, "timer2")->isActive());
    QCOMPARE(server.requests().size(), 1);
}

void TestRotator::fewerThanTwoPairsKeepTheLabel_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<qsizetype>("pairs");

    QTest::newRow("one pair") << QByteArray("A|u1") << qsizetype(1);
    QTest::newRow("one pair and an odd item") << QByteArray("A|u1|B") << qsizetype(1);
    QTest::newRow("single item") << QByteArray("A") << qsizetype(0);
    QTest::newRow("empty body") << QByteArray() << qsizetype(0);
}

void TestRotator::fewerThanTwoPairsKeepTheLabel()
{
    QFETCH(QByteArray, body);
    QFETCH(qsizetype, pairs);

    HttpTestServer server;
    QVERIFY(server.listen());
    server.answer(200, body);
    QLabel label(kInitialCaption);
    Tfz fz(&label, quickTiming(), server.url(kListPath));
    QSignalSpy loaded(&fz, &Tfz::linksLoaded);
    QSignalSpy failed(&fz, &Tfz::fetchFailed);

    QTRY_COMPARE(loaded.size(), 1);
    QCOMPARE(loaded.at(0).at(0).value<qsizetype>(), pairs);
    QVERIFY(!timerOf(fz, "Timer1")->isActive());
    QVERIFY(!timerOf(fz, "timer2")->isActive());
    // Several rotation intervals later still nothing has moved.
    QTest::qWait(150);
    QCOMPARE(label.text(), kInitialCaption);
    QCOMPARE(fz.linkUrl(), web::homePageUrlWithoutSlash());
    QCOMPARE(memoOf(fz), QString());
    QCOMPARE(failed.size(), 0);
    QCOMPARE(server.requests().size(), 1);
}

void TestRotator::failureIsSilentAndFinal_data()
{
    QTest::addColumn<ServerMode>("mode");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<bool>("announceLength");
    QTest::addColumn<QByteArray>("extraHeaders");
    QTest::addColumn<promo::FetchError>("error");
    QTest::addColumn<int>("requests");

    const QByteArray list("A|u1|B|u2");
    using promo::FetchError;
    QTest::newRow("connection refused")
        << ServerMode::Refuse << 0 << QByteArray() << true << QByteArray() << FetchError::Network
        << 0;
    // Qt resends an idempotent GET once when the connection drops before any
    // answer; our code adds no retries of its own.
    QTest::newRow("closed without an answer")
        << ServerMode::HangUp << 0 << QByteArray() << true << QByteArray() << FetchError::Network
        << 2;
    QTest::newRow("body cut short")
        << ServerMode::Answer << 200 << list << false << QByteArray("Content-Length: 100\r\n")
        << FetchError::Network << 1;
    QTest::newRow("HTTP 500 with a valid list")
        << ServerMode::Answer << 500 << list << true << QByteArray() << FetchError::HttpStatus << 1;
    QTest::newRow("HTTP 404")
        << ServerMode::Answer << 404 << list << true << QByteArray() << FetchError::HttpStatus << 1;
    QTest::newRow("redirect is not followed")
        << ServerMode::Answer << 302 << list << true
        << QByteArray("Location: /en/tangshi.php\r\n") << FetchError::HttpStatus << 1;
    QTest::newRow("announced oversize body")
        << ServerMode::Answer << 200 << paddedList(list, 200 * 1024) << true << QByteArray()
        << FetchError::TooLarge << 1;
    QTest::newRow("unannounced oversize body")
        << ServerMode::Answer << 200 << paddedList(list, 200 * 1024) << false << QByteArray()
        << FetchError::TooLarge << 1;
    QTest::newRow("one byte over the limit")
        << ServerMode::Answer << 200 << paddedList(list, promo::kMaxLinkListBytes + 1) << false
        << QByteArray() << FetchError::TooLarge << 1;
}

void TestRotator::failureIsSilentAndFinal()
{
    QFETCH(ServerMode, mode);
    QFETCH(int, status);
    QFETCH(QByteArray, response);
    QFETCH(bool, announceLength);
    QFETCH(QByteArray, extraHeaders);
    QFETCH(promo::FetchError, error);
    QFETCH(int, requests);

    HttpTestServer server;
    QVERIFY(server.listen());
    if (mode == ServerMode::Answer)
        server.answer(status, response, announceLength, extraHeaders);
    else if (mode == ServerMode::HangUp)
        server.hangUp();
    const QUrl url = mode == ServerMode::Refuse ? HttpTestServer::refusingUrl(kListPath)
                                                : server.url(kListPath);
    QLabel label(kInitialCaption);
    Tfz fz(&label, quickTiming(), url);
    QSignalSpy loaded(&fz, &Tfz::linksLoaded);
    QSignalSpy failed(&fz, &Tfz::fetchFailed);

    QTRY_COMPARE(failed.size(), 1);
    QCOMPARE(failed.at(0).at(0).value<promo::FetchError>(), error);
    QVERIFY(!timerOf(fz, "timer2")->isActive());
    QVERIFY(!timerOf(fz, "Timer1")->isActive());
    QTest::qWait(150);
    QCOMPARE(loaded.size(), 0);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(label.text(), kInitialCaption);
    QCOMPARE(fz.linkUrl(), web::homePageUrlWithoutSlash());
    QCOMPARE(memoOf(fz), QString());
    QVERIFY(!anyMessageBox());
    QCOMPARE(server.requests().size(), requests);
}

void TestRotator::unansweredFetchTimesOutWithoutFreezing()
{
    HttpTestServer server;
    QVERIFY(server.listen());
    server.stayQuiet();
    QLabel label(kInitialCaption);
    Tfz fz(&label, quickTiming(400ms), server.url(kListPath));
    QSignalSpy failed(&fz, &Tfz::fetchFailed);

    QTRY_COMPARE(server.requests().size(), 1);
    // From here the server is silent; the rest of the program must not be.
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, &fz, [&] { ++ticks; });
    ticker.start(10ms);
    QCOMPARE(failed.size(), 0);

    QTRY_COMPARE(failed.size(), 1);
    ticker.stop();
    QCOMPARE(failed.at(0).at(0).value<promo::FetchError>(), promo::FetchError::TimedOut);
    QVERIFY2(ticks >= 5, qPrintable(QStringLiteral("only %1 ticks while waiting").arg(ticks)));
    QVERIFY(!timerOf(fz, "timer2")->isActive());
    QVERIFY(!timerOf(fz, "Timer1")->isActive());
    QCOMPARE(label.text(), kInitialCaption);
    QCOMPARE(fz.linkUrl(), web::homePageUrlWithoutSlash());
    QVERIFY(!anyMessageBox());
}

void TestRotator::closingDuringTheFetch()
{
    HttpTestServer server;
    QVERIFY(server.listen());
    server.stayQuiet();
    QLabel label(kInitialCaption);
    {
        Tfz fz(&label, quickTiming(), server.url(kListPath));
        QTRY_COMPARE(server.requests().size(), 1);
    }
    // Whatever the abandoned transfer still has to deliver must find nothing
    // of the window.
    QTest::qWait(100);
    QCOMPARE(label.text(), kInitialCaption);

    // The label may go first, as the main window closes before the rotator.
    auto doomed = std::make_unique<QLabel>(kInitialCaption);
    server.answer(200, "A|u1|B|u2");
    Tfz fz(doomed.get(), quickTiming(), server.url(kListPath));
    QSignalSpy loaded(&fz, &Tfz::linksLoaded);
    QTRY_COMPARE(loaded.size(), 1);
    doomed.reset();
    QTRY_COMPARE(fz.linkUrl(), QStringLiteral("u2"));
}

void TestRotator::requestAsTheServerExpects()
{
    HttpTestServer server;
    QVERIFY(server.listen());
    server.answer(200, "A|u1|B|u2");
    // The real list address, pointed at the test server.
    QUrl url(web::linkListUrl());
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(server.url(QString()).port());

    QLabel label(kInitialCaption);
    Tfz fz(&label, quickTiming(), url);
    QSignalSpy loaded(&fz, &Tfz::linksLoaded);
    QSignalSpy failed(&fz, &Tfz::fetchFailed);
    QTRY_VERIFY(loaded.size() + failed.size() > 0);
    QCOMPARE(failed.size(), 0);

    QCOMPARE(server.requests().size(), 1);
    const RecordedRequest &request = server.requests().first();
    QCOMPARE(request.method, QByteArray("GET"));
    QCOMPARE(request.target, QByteArray("/en/tangshi.php"));
    QCOMPARE(request.headers.value("accept"), QByteArray("text/html, */*"));
    QCOMPARE(request.headers.value("content-type"), QByteArray("text/html"));
    QCOMPARE(request.headers.value("user-agent"),
             QByteArray("Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 6.1; Trident/4.0; SLCC2; "
                        ".NET CLR 2.0.50727; .NET CLR 3.5.30729; .NET CLR 3.0.30729; "
                        "Media Center PC 6.0; Tablet PC 2.0; .NET4.0C; .NET4.0E)"));
}

QTEST_MAIN(TestRotator)
#include "tst_rotator.moc"
