#pragma once
// A web view that is never shown: it only requests pages. It holds a page
// without a view, on an off-the-record profile so nothing is written to disk,
// and starts the web engine only after its window has painted, so the engine's
// start never delays the first look at the window.

#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <memory>

class QWebEnginePage;
class QWebEngineProfile;

class HiddenWebView : public QWidget
{
    Q_OBJECT
public:
    explicit HiddenWebView(QWidget *parent = nullptr);
    ~HiddenWebView() override;

    void navigate(const QUrl &url);
    // The page, once the first request has been made; null before.
    QWebEnginePage *page() const { return m_page.get(); }
    int requestCount() const { return m_requests; }

signals:
    void requested(const QUrl &url);

private:
    void loadPending();

    std::unique_ptr<QWebEngineProfile> m_profile;
    std::unique_ptr<QWebEnginePage> m_page;
    QUrl m_pending;
    bool m_windowPainted = false;
    bool m_loadScheduled = false;
    int m_requests = 0;
};
