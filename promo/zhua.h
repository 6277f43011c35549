#pragma once
// The hidden window behind the status-bar link: it fetches the maker's list
// of captions and addresses once and then cycles the captions through the
// main window's label.

#include "app/web_endpoints.h"
#include "promo/link_list_download.h"

#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <chrono>
#include <memory>

class QLabel;
class QNetworkAccessManager;
class QTimer;

namespace Ui {
class Tfz;
}

struct RotatorTiming
{
    std::chrono::milliseconds fetchDelay{5000};
    std::chrono::milliseconds rotationInterval{8000};
    std::chrono::milliseconds fetchTimeout{30000};
};

class Tfz : public QWidget
{
    Q_OBJECT

public:
    // label15 shows the captions; it stays untouched until the list has at
    // least two pairs. The window never shows itself, even with a parent.
    explicit Tfz(QLabel *label15, RotatorTiming timing = {},
                 const QUrl &linkListUrl = QUrl(web::linkListUrl()), QWidget *parent = nullptr);
    ~Tfz() override;

    // The address a click on the label should open: the home page until the
    // first caption is shown, then the address of the caption on show.
    QString linkUrl() const { return LinkURL; }

signals:
    // The list arrived and was parsed; it rotates when pairCount > 1.
    void linksLoaded(qsizetype pairCount);
    // The fetch failed. Nothing is shown to the user and nothing is retried.
    void fetchFailed(promo::FetchError error, const QString &message);

private:
    void setUpTimers(const RotatorTiming &timing);
    void FormCreate();
    void timer2Timer();
    void Timer1Timer();
    void fetchSucceeded(const QByteArray &body);
    void fetchFailedWith(promo::FetchError error, const QString &message);
    void finishFetch();

    std::unique_ptr<Ui::Tfz> ui;
    QPointer<QLabel> Label15;
    QTimer *timer2 = nullptr;
    QTimer *Timer1 = nullptr;
    QNetworkAccessManager *http1 = nullptr;
    QPointer<promo::LinkListDownload> download;
    QUrl linkListUrl;
    std::chrono::milliseconds fetchTimeout;

    QStringList LinkList;
    qsizetype LinkPairCount = 0;
    qsizetype LinkIndex = 0;
    QString LinkCaption;
    QString LinkURL;
};
