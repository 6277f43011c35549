#pragma once
// The About dialog: an introduction to the anthology, a banner and a page of
// the maker's site.

#include "app/web_endpoints.h"

#include <QDialog>
#include <QUrl>

#include <memory>

class QWebEngineProfile;

namespace Ui {
class TForm3;
}

class TForm3 : public QDialog
{
    Q_OBJECT
public:
    // Starts loading `statsPage` into the page view right away; showing the
    // dialog later does not load it again.
    explicit TForm3(QWidget *parent = nullptr,
                    const QUrl &statsPage = QUrl(web::aboutStatsUrl()));
    ~TForm3() override;

    Ui::TForm3 &form() const { return *ui; }

    static QString introduction();

    void Button1Click();
    void Label3Click();
    void Image1Click();
    // Whether an event the application is about to deliver must be dropped:
    // right clicks (and the context menus they raise) over the page view.
    bool ApplicationEvents1Message(QObject *target, QEvent *event) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void FormCreate(const QUrl &statsPage);
    void connectControls();
    bool isInsidePage(const QObject *target) const;
    void centreOnDesktop();

    std::unique_ptr<Ui::TForm3> ui;
    QWebEngineProfile *m_profile = nullptr;
};
