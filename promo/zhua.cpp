#include "promo/zhua.h"

#include "promo/link_list.h"
#include "ui_zhua.h"

#include <QLabel>
#include <QNetworkAccessManager>
#include <QTimer>

Tfz::Tfz(QLabel *label15, RotatorTiming timing, const QUrl &linkListUrl, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , ui(std::make_unique<Ui::Tfz>())
    , Label15(label15)
    , timer2(new QTimer(this))
    , Timer1(new QTimer(this))
    , http1(new QNetworkAccessManager(this))
    , linkListUrl(linkListUrl)
    , fetchTimeout(timing.fetchTimeout)
{
    ui->setupUi(this);
    // Captions come from the network: show them as they are, never as markup.
    if (Label15)
        Label15->setTextFormat(Qt::PlainText);

    setUpTimers(timing);
    promo::configureLinkListClient(*http1);
    FormCreate();
}

void Tfz::setUpTimers(const RotatorTiming &timing)
{
    timer2->setObjectName(QStringLiteral("timer2"));
    timer2->setSingleShot(true);
    timer2->setInterval(timing.fetchDelay);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(timing.rotationInterval);
    connect(timer2, &QTimer::timeout, this, &Tfz::timer2Timer);
    connect(Timer1, &QTimer::timeout, this, &Tfz::Timer1Timer);
}

Tfz::~Tfz()
{
    // Closing during a fetch: end the download while the manager and this
    // window are still whole, rather than in the middle of child destruction.
    delete download;
}

void Tfz::FormCreate()
{
    LinkIndex = 0;
    LinkURL = web::homePageUrlWithoutSlash();
    timer2->start();
}

void Tfz::timer2Timer()
{
    timer2->stop();
    if (download)
        return;
    download = new promo::LinkListDownload(*http1, linkListUrl, fetchTimeout, this);
    connect(download, &promo::LinkListDownload::succeeded, this, &Tfz::fetchSucceeded);
    connect(download, &promo::LinkListDownload::failed, this, &Tfz::fetchFailedWith);
}

void Tfz::fetchSucceeded(const QByteArray &body)
{
    finishFetch();
    LinkList = promo::parseLinkList(body);
    LinkPairCount = promo::linkPairCount(LinkList);
    // A single pair is not worth rotating: the label keeps its own caption.
    if (LinkPairCount > 1)
        Timer1->start();
    emit linksLoaded(LinkPairCount);
}

void Tfz::fetchFailedWith(promo::FetchError error, const QString &message)
{
    finishFetch();
    timer2->stop();
    Timer1->stop();
    emit fetchFailed(error, message);
}

void Tfz::finishFetch()
{
    // Called from the download's own signal, so it may only go later.
    if (download)
        download->deleteLater();
    download = nullptr;
}

void Tfz::Timer1Timer()
{
    if (LinkIndex >= LinkPairCount)
        LinkIndex = 0;
    LinkCaption = LinkList.value(2 * LinkIndex);
    LinkURL = LinkList.value(2 * LinkIndex + 1);
    if (Label15)
        Label15->setText(LinkCaption);
    ui->Memo1->setPlainText(LinkCaption + LinkURL);
    ++LinkIndex;
}
