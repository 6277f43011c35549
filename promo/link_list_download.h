#pragma once
// One fetch of the link list: a GET that never blocks the event loop and is
// bounded both in time and in size, because the answer comes from a server we
// do not control.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <chrono>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

namespace promo {

// The list is a few lines of captions; anything bigger is not one.
inline constexpr qsizetype kMaxLinkListBytes = 64 * 1024;

enum class FetchError {
    Network,    // no connection, refused, reset, ...
    HttpStatus, // the server answered with anything but 2xx
    TimedOut,
    TooLarge,
};

// The request as the maker's server expects it.
QNetworkRequest linkListRequest(const QUrl &url);

// Prepares a manager for the fetch: cookies kept in memory only, and a direct
// connection whatever proxy the desktop configures.
void configureLinkListClient(QNetworkAccessManager &http);

// Starts the GET on construction and ends with exactly one of succeeded() or
// failed(). Destroying it earlier aborts the transfer.
class LinkListDownload : public QObject
{
    Q_OBJECT

public:
    LinkListDownload(QNetworkAccessManager &http, const QUrl &url,
                     std::chrono::milliseconds timeout, QObject *parent = nullptr);
    ~LinkListDownload() override;

signals:
    void succeeded(const QByteArray &body);
    void failed(promo::FetchError error, const QString &message);

private:
    void headersArrived();
    void dataArrived();
    void replyFinished();
    void timedOut();
    void fail(FetchError error, const QString &message);
    void dropReply();

    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    QByteArray m_body;
    bool m_finished = false;
};

} // namespace promo
