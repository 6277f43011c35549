#include "app/hidden_web_view.h"

#include "app/after_first_paint.h"

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
    if (m_loadScheduled)
        return;
    m_loadScheduled = true;
    QWidget *top = window();
    const auto load = [this] {
        m_loadScheduled = false;
        loadPending();
    };
    if (!m_windowPainted && top && top != this && top->isVisible()) {
        runAfterFirstPaint(top, [this, load] {
            m_windowPainted = true;
            load();
        });
        return;
    }
    load();
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
