#include "promo/link_list_download.h"

#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace promo {

namespace {

constexpr const char *kUserAgent =
    "Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 6.1; Trident/4.0; SLCC2; "
    ".NET CLR 2.0.50727; .NET CLR 3.5.30729; .NET CLR 3.0.30729; Media Center PC 6.0; "
    "Tablet PC 2.0; .NET4.0C; .NET4.0E)";

} // namespace

QNetworkRequest linkListRequest(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setRawHeader("Accept", "text/html, */*");
    request.setRawHeader("Content-Type", "text/html");
    request.setRawHeader("User-Agent", kUserAgent);
    // A moved list is an error on the server's side; following it could take
    // us anywhere, so a redirect counts as a failed fetch.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    return request;
}

void configureLinkListClient(QNetworkAccessManager &http)
{
    http.setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
    // The manager owns the jar; a plain QNetworkCookieJar never touches disk.
    http.setCookieJar(new QNetworkCookieJar(&http));
}

LinkListDownload::LinkListDownload(QNetworkAccessManager &http, const QUrl &url,
                                   std::chrono::milliseconds timeout, QObject *parent)
    : QObject(parent)
{
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(timeout);
    connect(&m_deadline, &QTimer::timeout, this, &LinkListDownload::timedOut);

    m_reply = http.get(linkListRequest(url));
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &LinkListDownload::headersArrived);
    connect(m_reply, &QNetworkReply::readyRead, this, &LinkListDownload::dataArrived);
    connect(m_reply, &QNetworkReply::finished, this, &LinkListDownload::replyFinished);
    m_deadline.start();
}

LinkListDownload::~LinkListDownload()
{
    dropReply();
}

void LinkListDownload::headersArrived()
{
    // Refuse an announced oversize body before any of it is read.
    bool known = false;
    const qlonglong length = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
    if (known && length > kMaxLinkListBytes)
        fail(FetchError::TooLarge,
             tr("the link list announces %1 bytes, more than %2").arg(length).arg(kMaxLinkListBytes));
}

void LinkListDownload::dataArrived()
{
    if (m_finished)
        return;
    m_body += m_reply->readAll();
    if (m_body.size() > kMaxLinkListBytes)
        fail(FetchError::TooLarge,
             tr("the link list is longer than %1 bytes").arg(kMaxLinkListBytes));
}

void LinkListDownload::replyFinished()
{
    if (m_finished)
        return;
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299)) {
        fail(FetchError::HttpStatus, tr("the link list server answered %1 %2")
                 .arg(status.toInt())
                 .arg(m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()));
        return;
    }
    if (m_reply->error() != QNetworkReply::NoError) {
        fail(FetchError::Network, tr("cannot fetch the link list: %1").arg(m_reply->errorString()));
        return;
    }
    if (!status.isValid()) {
        fail(FetchError::Network, tr("the link list address gave no HTTP answer"));
        return;
    }
    dataArrived();
    if (m_finished)
        return;
    m_finished = true;
    dropReply();
    emit succeeded(m_body);
}

void LinkListDownload::timedOut()
{
    fail(FetchError::TimedOut, tr("the link list server did not answer within %1 ms")
             .arg(m_deadline.interval()));
}

void LinkListDownload::fail(FetchError error, const QString &message)
{
    if (m_finished)
        return;
    m_finished = true;
    dropReply();
    m_body.clear();
    emit failed(error, message);
}

void LinkListDownload::dropReply()
{
    m_deadline.stop();
    if (!m_reply)
        return;
    // Cut the reply loose first: abort() reports finished() synchronously and
    // must not land in replyFinished() again.
    m_reply->disconnect(this);
    if (m_reply->isRunning())
        m_reply->abort();
    m_reply->deleteLater();
    m_reply = nullptr;
}

} // namespace promo
