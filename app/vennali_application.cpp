#include "app/vennali_application.h"

#include <QMessageBox>

#include <exception>

#include <unistd.h>

namespace {

VennaliApplication::ErrorPresenter &presenter()
{
    static VennaliApplication::ErrorPresenter current = [](const QString &message) {
        QMessageBox box(QMessageBox::Critical, VennaliApplication::title(), message, QMessageBox::Ok);
        box.exec();
    };
    return current;
}

QString describe(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("unknown error");
    }
}

} // namespace

VennaliApplication::VennaliApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(title());
    // The web engine refuses to start its sandbox as root and would end the
    // whole program; as root it runs without one. It reads this when it
    // starts, which is later.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

QString VennaliApplication::title()
{
    return QStringLiteral("Vennali");
}

void VennaliApplication::showError(const QString &message)
{
    presenter()(message);
}

VennaliApplication::ErrorPresenter VennaliApplication::setErrorPresenter(ErrorPresenter replacement)
{
    return std::exchange(presenter(), std::move(replacement));
}

bool VennaliApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        showError(describe(std::current_exception()));
        return false;
    }
}

namespace {

bool runReporting(const std::function<void()> &work, const std::function<void(const QString &)> &report)
{
    try {
        work();
        return true;
    } catch (...) {
        report(describe(std::current_exception()));
        return false;
    }
}

} // namespace

bool reportFailures(const std::function<void()> &work)
{
    return runReporting(work, &VennaliApplication::showError);
}

bool reportFailuresAfterEvent(const std::function<void()> &work)
{
    return runReporting(work, [](const QString &message) {
        QMetaObject::invokeMethod(qApp, [message] { VennaliApplication::showError(message); }, Qt::QueuedConnection);
    });
}
