#include "about/Unit3.h"
#include "ui_Unit3.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextEdit>
#include <QWebEngineView>
#include <QtTest>

namespace {

// Serves one small page on 127.0.0.1 and counts the requests for it.
class PageServer : public QObject
{
    Q_OBJECT
public:
    PageServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, &PageServer::accept);
    }

    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QUrl url() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/softtj.php?soft=qv740&ref=shuoming")
                        .arg(m_server.serverPort()));
    }
    int pageRequests() const { return m_pageRequests; }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
        }
    }

    void answer(QTcpSocket *socket)
    {
        QByteArray &request = m_pending[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QByteArray target = request.split(' ').value(1);
        m_pending.remove(socket);
        QByteArray body;
        QByteArray status = "404 Not Found";
        if (target.startsWith("/softtj.php")) {
            ++m_pageRequests;
            status = "200 OK";
            body = "<html><body><p>statistics</p></body></html>";
        }
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/html\r\nContent-Length: "
                      + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_pending;
    int m_pageRequests = 0;
};

// Records the mouse and context-menu events that reach a widget.
class EventRecorder : public QObject
{
public:
    explicit EventRecorder(QObject *watched)
        : QObject(watched)
    {
        watched->installEventFilter(this);
    }
    QList<QEvent::Type> seen;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::ContextMenu:
            seen << event->type();
            break;
        default:
            break;
        }
        return false;
    }
};

// Catches what the dialog hands to the user's browser.
class BrowserCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

QMouseEvent mouseEvent(QEvent::Type type, Qt::MouseButton button)
{
    const QPointF at(10, 10);
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    return QMouseEvent(type, at, at, at, button, held, Qt::NoModifier);
}

} // namespace

class AboutDialogTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void showsTheIntroduction();
    void hasTheDesignedFrame();
    void showsTheBanner();
    void swallowsRightClicksOverThePage_data();
    void swallowsRightClicksOverThePage();
    void rightClickElsewhereStillOpensAMenu();
    void loadsThePageOnceAtCreation();
    void returnHidesAndLinksOpenTheHomePage();

private:
    PageServer m_server;
};

void AboutDialogTest::initTestCase()
{
    QVERIFY(m_server.listen());
}

void AboutDialogTest::showsTheIntroduction()
{
    TForm3 dialog(nullptr, m_server.url());
    const QPlainTextEdit *memo = dialog.form().FlatMemo1;
    const QString expected = QStringLiteral(
        "\u3000\u3000宋词是中国古代文学皇冠上光辉夺目的一颗巨钻，在古代文学的阆苑里，她是一块芬芳绚丽的园圃。"
        "她以姹紫嫣红、千姿百态的丰神，与唐诗争奇，与元曲斗妍，历来与唐诗并称双绝，都代表一代文学之胜。"
        "《Vennali》旨在以通俗、简洁、精要的方式介绍作者精选的三百首宋词作品，注释力求简明，疏通词义。\n"
        "\u3000\u3000《Vennali全集》以多媒体的形式整合了原诗、注释、赏析、朗读。"
        "宋词303首均可以真人语音全文朗读，很适合儿童早教，激发孩子的学习兴趣。");
    QCOMPARE(memo->toPlainText(), expected);
    QCOMPARE(memo->document()->blockCount(), 2);
    QVERIFY(memo->isReadOnly());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Vennali 真人语音朗读版"));
}

void AboutDialogTest::hasTheDesignedFrame()
{
    TForm3 dialog(nullptr, m_server.url());
    QCOMPARE(dialog.size(), QSize(558, 495));
    QCOMPARE(dialog.minimumSize(), QSize(558, 495));
    QCOMPARE(dialog.maximumSize(), QSize(558, 495));

    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));

    const Ui::TForm3 &form = dialog.form();
    QCOMPARE(form.GroupBox1->geometry(), QRect(16, 8, 529, 209));
    QCOMPARE(form.FlatMemo1->geometry(), QRect(8, 20, 513, 180));
    QCOMPARE(form.Image1->geometry(), QRect(40, 218, 468, 60));
    QCOMPARE(form.WebBrowser1->geometry(), QRect(16, 280, 529, 169));
    QCOMPARE(form.Label3->geometry(), QRect(16, 464, 73, 16));
    QCOMPARE(form.Button1->geometry(), QRect(472, 456, 73, 33));

    dialog.move(0, 0);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.frameGeometry().center(), dialog.screen()->geometry().center());
    QCOMPARE(dialog.size(), QSize(558, 495));
    QCOMPARE(form.Label3->font().pixelSize(), 13);
    QCOMPARE(form.Button1->font().pixelSize(), 13);
    QCOMPARE(form.FlatMemo1->font().pixelSize(), 16);
}

void AboutDialogTest::showsTheBanner()
{
    TForm3 dialog(nullptr, m_server.url());
    const QLabel *banner = dialog.form().Image1;
    QCOMPARE(banner->pixmap().size(), QSize(468, 60));
    QVERIFY(!banner->toolTip().isEmpty());
    QCOMPARE(banner->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(dialog.form().Label3->cursor().shape(), Qt::PointingHandCursor);
}

void AboutDialogTest::swallowsRightClicksOverThePage_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("eventType");
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("swallowed");

    const int press = QEvent::MouseButtonPress;
    const int release = QEvent::MouseButtonRelease;
    const int doubleClick = QEvent::MouseButtonDblClick;
    const int menu = QEvent::ContextMenu;
    QTest::newRow("right press on the view") << "view" << press << int(Qt::RightButton) << true;
    QTest::newRow("right press on the page's drawing") << "drawing" << press << int(Qt::RightButton) << true;
    QTest::newRow("right release on the page's drawing") << "drawing" << release << int(Qt::RightButton) << true;
    QTest::newRow("right double-click on the page's drawing")
        << "drawing" << doubleClick << int(Qt::RightButton) << true;
    QTest::newRow("mouse context menu on the page's drawing") << "drawing" << menu << int(Qt::RightButton) << true;
    QTest::newRow("keyboard context menu on the page's drawing") << "drawing" << menu << int(Qt::NoButton) << false;
    QTest::newRow("left press on the page's drawing") << "drawing" << press << int(Qt::LeftButton) << false;
    QTest::newRow("left release on the page's drawing") << "drawing" << release << int(Qt::LeftButton) << false;
    QTest::newRow("right press on the dialog's button") << "button" << press << int(Qt::RightButton) << false;
    QTest::newRow("right press on the introduction") << "memo" << press << int(Qt::RightButton) << false;
    QTest::newRow("right press on another window") << "outside" << press << int(Qt::RightButton) << false;
    QTest::newRow("mouse context menu on another window") << "outside" << menu << int(Qt::RightButton) << false;
}

void AboutDialogTest::swallowsRightClicksOverThePage()
{
    QFETCH(QString, target);
    QFETCH(int, eventType);
    QFETCH(int, button);
    QFETCH(bool, swallowed);

    TForm3 dialog(nullptr, m_server.url());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTextEdit outside;
    // A real menu would be left open and take the mouse from later tests.
    outside.setContextMenuPolicy(Qt::CustomContextMenu);
    outside.show();

    QWebEngineView *view = dialog.form().WebBrowser1;
    QWidget *drawing = nullptr;
    if (target == QLatin1String("drawing")) {
        // The engine draws into a child widget that takes focus and input for the view.
        QTRY_VERIFY(view->focusProxy() != nullptr);
        drawing = view->focusProxy();
        QVERIFY(view->isAncestorOf(drawing));
    }
    const QHash<QString, QWidget *> targets{{QStringLiteral("view"), view},
                                            {QStringLiteral("drawing"), drawing},
                                            {QStringLiteral("button"), dialog.form().Button1},
                                            {QStringLiteral("memo"), dialog.form().FlatMemo1->viewport()},
                                            {QStringLiteral("outside"), outside.viewport()}};
    QWidget *receiver = targets.value(target);
    QVERIFY(receiver);
    EventRecorder recorder(receiver);

    const auto type = QEvent::Type(eventType);
    if (type == QEvent::ContextMenu) {
        const auto reason = button == Qt::RightButton ? QContextMenuEvent::Mouse : QContextMenuEvent::Keyboard;
        QContextMenuEvent event(reason, QPoint(10, 10), receiver->mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(receiver, &event);
    } else {
        QMouseEvent event = mouseEvent(type, Qt::MouseButton(button));
        QApplication::sendEvent(receiver, &event);
    }
    QCOMPARE(recorder.seen.isEmpty(), swallowed);
}

void AboutDialogTest::rightClickElsewhereStillOpensAMenu()
{
    // With the dialog alive, a right click on a text box of another window
    // (as the reading pane is) still raises its context menu, while one on
    // the page raises none. The clicks go through the windows, as the user's
    // do, so Qt makes its context-menu events from them.
    TForm3 dialog(nullptr, m_server.url());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTRY_VERIFY(dialog.form().WebBrowser1->focusProxy() != nullptr);
    QWidget *drawing = dialog.form().WebBrowser1->focusProxy();

    QTextEdit pane;
    pane.setContextMenuPolicy(Qt::CustomContextMenu);
    pane.resize(200, 100);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    QSignalSpy menus(&pane, &QWidget::customContextMenuRequested);
    QTest::mouseClick(pane.windowHandle(), Qt::RightButton, {}, pane.viewport()->mapTo(&pane, QPoint(20, 20)));
    QTRY_COMPARE(menus.count(), 1);

    EventRecorder recorder(drawing);
    QTest::mouseClick(dialog.windowHandle(), Qt::RightButton, {}, drawing->mapTo(&dialog, QPoint(20, 20)));
    QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, {}, drawing->mapTo(&dialog, QPoint(20, 20)));
    QTest::qWait(200);
    // Only the left press and release get through.
    QCOMPARE(recorder.seen, QList<QEvent::Type>({QEvent::MouseButtonPress, QEvent::MouseButtonRelease}));
    QVERIFY(!QApplication::activePopupWidget());
}

void AboutDialogTest::loadsThePageOnceAtCreation()
{
    PageServer server;
    QVERIFY(server.listen());
    TForm3 dialog(nullptr, server.url());
    QWebEngineView *view = dialog.form().WebBrowser1;
    QSignalSpy finished(view, &QWebEngineView::loadFinished);
    QTRY_COMPARE_WITH_TIMEOUT(server.pageRequests(), 1, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
    QCOMPARE(finished.first().first().toBool(), true);
    QCOMPARE(view->url(), server.url());

    QSignalSpy started(view, &QWebEngineView::loadStarted);
    for (int shown = 0; shown < 2; ++shown) {
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::qWait(200);
        dialog.form().Button1->click();
        QVERIFY(!dialog.isVisible());
    }
    QTest::qWait(200);
    QCOMPARE(started.count(), 0);
    QCOMPARE(server.pageRequests(), 1);
}

void AboutDialogTest::returnHidesAndLinksOpenTheHomePage()
{
    BrowserCatcher browser;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "open");
    auto unset = qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); });

    TForm3 dialog(nullptr, m_server.url());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QTest::mouseClick(dialog.form().Label3, Qt::LeftButton);
    QTest::mouseClick(dialog.form().Image1, Qt::LeftButton);
    QCOMPARE(browser.opened, QList<QUrl>({QUrl(web::homePageUrl()), QUrl(web::homePageUrl())}));
    QVERIFY(dialog.isVisible());

    QTest::mouseClick(dialog.form().Button1, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

QTEST_MAIN(AboutDialogTest)
#include "tst_about_dialog.moc"
