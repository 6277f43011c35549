#pragma once
// The application object. Its notify() is the general error handler: a failure
// that escapes a command or a timer is shown in an error box captioned with the
// application title, and the program carries on with the next event.

#include <QApplication>

#include <functional>

class VennaliApplication : public QApplication
{
    Q_OBJECT
public:
    VennaliApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    static QString title();
    // Shows the error box; tests replace it to see what would be shown.
    static void showError(const QString &message);
    using ErrorPresenter = std::function<void(const QString &)>;
    static ErrorPresenter setErrorPresenter(ErrorPresenter presenter);
};

// The same handling for code that runs outside an event (start-up): calls
// `work` and reports a failure through the error box. Returns false on failure.
bool reportFailures(const std::function<void()> &work);
