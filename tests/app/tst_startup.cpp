// Start-up failures and the general error handler, on the real application
// object.
#include "about/Unit3.h"
#include "app/startup.h"
#include "app/tangshi.h"
#include "fixture_database.h"
#include "promo/zhua.h"
#include "app/vennali_application.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <stdexcept>

class StartupTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void missingDatabaseEndsStartupWithItsMessage();
    void failureInAHandlerIsShownAndTheProgramGoesOn();
    void startupCreatesTheThreeWindowsAndShowsOnlyTheMainOne();

private:
    QStringList m_errors;
    VennaliApplication::ErrorPresenter m_previous;
};

void StartupTest::init()
{
    m_errors.clear();
    m_previous = VennaliApplication::setErrorPresenter([this](const QString &message) { m_errors.append(message); });
}

void StartupTest::cleanup()
{
    VennaliApplication::setErrorPresenter(m_previous);
}

void StartupTest::missingDatabaseEndsStartupWithItsMessage()
{
    QTemporaryDir dir;
    const QString previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const int exitCode = runVennali(*static_cast<VennaliApplication *>(qApp));
    QDir::setCurrent(previousDir);

    QCOMPARE(exitCode, 1);
    QCOMPARE(m_errors.size(), 1);
    QVERIFY2(m_errors.first().contains(QStringLiteral("songci.idb")), qPrintable(m_errors.first()));
    QVERIFY2(m_errors.first().contains(QStringLiteral("no such file")), qPrintable(m_errors.first()));
    // Opening read-only never creates the file.
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void StartupTest::failureInAHandlerIsShownAndTheProgramGoesOn()
{
    QPushButton button;
    int laterClicks = 0;
    bool fail = true;
    // Handlers catch at their own edge, so nothing unwinds through Qt's code.
    connect(&button, &QPushButton::clicked, &button, guarded([&] {
        if (fail)
            throw std::runtime_error("cannot read from the database: disk I/O error");
        ++laterClicks;
    }));
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QTest::mouseClick(&button, Qt::LeftButton);
    // The box comes once the click has been handled.
    QTRY_COMPARE(m_errors, QStringList{QStringLiteral("cannot read from the database: disk I/O error")});

    // The next event is handled as usual.
    fail = false;
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(laterClicks, 1);

    // Whatever slips past a handler is caught by the application object.
    QTimer::singleShot(0, &button, [] { throw std::runtime_error("timer failed"); });
    QTRY_COMPARE(m_errors.size(), 2);
    QCOMPARE(m_errors.last(), QStringLiteral("timer failed"));
    QCOMPARE(VennaliApplication::title(), QStringLiteral("Vennali"));
    QCOMPARE(qApp->applicationName(), QStringLiteral("Vennali"));
}

void StartupTest::startupCreatesTheThreeWindowsAndShowsOnlyTheMainOne()
{
    QTemporaryDir dir;
    fixture::writeDatabase(dir.filePath(QStringLiteral("songci.idb")),
                           {{QStringLiteral("如梦令"), QStringLiteral("李清照"), QStringLiteral("昨夜雨疏风骤。"), QStringLiteral("如梦令")}});
    const QString previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));

    // The About dialog and the rotator come after the main window's first
    // paint: look until all three are there, for ten seconds at most.
    bool checked = false;
    QElapsedTimer waited;
    waited.start();
    QTimer poll;
    connect(&poll, &QTimer::timeout, qApp, [&] {
        Tftangshi *main = nullptr;
        TForm3 *about = nullptr;
        Tfz *rotator = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            main = main ? main : qobject_cast<Tftangshi *>(widget);
            about = about ? about : qobject_cast<TForm3 *>(widget);
            rotator = rotator ? rotator : qobject_cast<Tfz *>(widget);
        }
        if (main && about && rotator) {
            checked = main->isVisible() && !about->isVisible() && !rotator->isVisible()
                      && main->listQuery().rowCount() == 1;
            qApp->quit();
        } else if (waited.elapsed() > 10000) {
            qApp->quit();
        }
    });
    poll.start(50);
    const int exitCode = runVennali(*static_cast<VennaliApplication *>(qApp));
    QDir::setCurrent(previousDir);
    QVERIFY(checked);
    QCOMPARE(exitCode, 0);
    QCOMPARE(m_errors, QStringList());
}

int main(int argc, char *argv[])
{
    VennaliApplication app(argc, argv);
    StartupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
