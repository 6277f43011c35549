#include "promo/open_link.h"

#include <QDesktopServices>
#include <QTest>
#include <QUrl>

// Stands in for the browser and anything else the desktop might launch.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened.append(url); }
};

class TestOpenLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void onlyWebAddressesOpen_data();
    void onlyWebAddressesOpen();

private:
    UrlCatcher m_catcher;
    const QStringList m_schemes{"http", "https", "file", "javascript", "ftp", "mailto", "data"};
};

void TestOpenLink::initTestCase()
{
    for (const QString &scheme : m_schemes)
        QDesktopServices::setUrlHandler(scheme, &m_catcher, "open");
}

void TestOpenLink::cleanupTestCase()
{
    for (const QString &scheme : m_schemes)
        QDesktopServices::unsetUrlHandler(scheme);
}

void TestOpenLink::onlyWebAddressesOpen_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("opens");

    QTest::newRow("http") << "http://www.example.com/en/a.php?x=1" << true;
    QTest::newRow("https") << "https://www.example.com/" << true;
    QTest::newRow("upper-case scheme") << "HTTP://www.example.com" << true;
    QTest::newRow("Chinese path") << "http://www.example.com/宋词" << true;
    QTest::newRow("file") << "file:///etc/passwd" << false;
    QTest::newRow("javascript") << "javascript:alert(1)" << false;
    QTest::newRow("data") << "data:text/html,<b>x</b>" << false;
    QTest::newRow("ftp") << "ftp://www.example.com/" << false;
    QTest::newRow("mailto") << "mailto:a@example.com" << false;
    QTest::newRow("relative path") << "/en/tangshi.php" << false;
    QTest::newRow("host without scheme") << "www.example.com" << false;
    QTest::newRow("scheme-relative") << "//www.example.com/" << false;
    QTest::newRow("http without host") << "http:/etc/passwd" << false;
    QTest::newRow("empty") << "" << false;
}

void TestOpenLink::onlyWebAddressesOpen()
{
    QFETCH(QString, address);
    QFETCH(bool, opens);

    m_catcher.opened.clear();
    QCOMPARE(promo::openLink(address), opens);
    if (opens)
        QCOMPARE(m_catcher.opened, QList<QUrl>{QUrl(address)});
    else
        QCOMPARE(m_catcher.opened, QList<QUrl>{});
}

QTEST_MAIN(TestOpenLink)
#include "tst_open_link.moc"
