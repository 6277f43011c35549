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

// For handlers: a failure's box is shown from the event loop once the input
// event that ran the handler is finished, not from inside Qt's handling of it.
bool reportFailuresAfterEvent(const std::function<void()> &work);

// A handler for connect() that reports its failures itself. Qt's own code is
// not written for exceptions passing through it (its locals leak and its
// state may be left half-changed), so the program's handlers catch at their
// own edge; notify() only catches what slips past.
template <typename Object, typename... Args>
auto guarded(Object *object, void (Object::*handler)(Args...))
{
    return [object, handler](Args... args) { reportFailuresAfterEvent([&] { (object->*handler)(args...); }); };
}

template <typename Work>
auto guarded(Work work)
{
    // The return type takes part in overload checks, so connect() sees which
    // of the signal's arguments the work accepts.
    return [work = std::move(work)](auto &&...args) -> decltype(work(std::forward<decltype(args)>(args)...), void()) {
        reportFailuresAfterEvent([&] { work(std::forward<decltype(args)>(args)...); });
    };
}
