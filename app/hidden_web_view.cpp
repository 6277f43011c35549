#include "app/hidden_web_view.h"

#include <QEvent>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>

HiddenWebView::HiddenWebView(QWidget *parent)
    : QWidget(parent)
{
    setVisible(false);
}

HiddenWebView::~HiddenWebView()
{
    // The page must go before the profile it was created on.
    m_page.reset();
    m_profile.reset();
}

void HiddenWebView::navigate(const QUrl &url)
{
    m_pending = url;
    QWidget *top = window();
    if (!m_windowPainted && top && top != this && top->isVisible()) {
        top->installEventFilter(this);
        return;
    }
    m_windowPainted = true;
    loadPending();
}

bool HiddenWebView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window() && event->type() == QEvent::Paint && !m_windowPainted) {
        m_windowPainted = true;
        watched->removeEventFilter(this);
        // Let the paint finish before the engine starts.
        if (!m_loadScheduled) {
            m_loadScheduled = true;
            QTimer::singleShot(0, this, [this] {
                m_loadScheduled = false;
                loadPending();
            });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void HiddenWebView::loadPending()
{
    if (m_pending.isEmpty())
        return;
    if (!m_page) {
        // A profile without a storage name is off the record: no cache,
        // cookies or history on disk.
        m_profile = std::make_unique<QWebEngineProfile>();
        m_page = std::make_unique<QWebEnginePage>(m_profile.get());
    }
    const QUrl url = std::exchange(m_pending, QUrl());
    ++m_requests;
    emit requested(url);
    m_page->load(url);
}
