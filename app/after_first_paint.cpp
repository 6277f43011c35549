#include "app/after_first_paint.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

class FirstPaintWatcher : public QObject
{
public:
    FirstPaintWatcher(QWidget *window, std::function<void()> work)
        : QObject(window)
        , m_work(std::move(work))
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_fired) {
            m_fired = true;
            watched->removeEventFilter(this);
            // Let this paint reach the screen first.
            QTimer::singleShot(0, this, [this] {
                auto work = std::move(m_work);
                deleteLater();
                work();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_work;
    bool m_fired = false;
};

} // namespace

void runAfterFirstPaint(QWidget *window, std::function<void()> work)
{
    if (!window->isVisible()) {
        QTimer::singleShot(0, window, std::move(work));
        return;
    }
    new FirstPaintWatcher(window, std::move(work));
}
