#include "about/Unit3.h"
#include "ui_Unit3.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QScreen>
#include <QWebEnginePage>
#include <QWebEngineProfile>

TForm3::TForm3(QWidget *parent, const QUrl &statsPage)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TForm3>())
{
    // The banner is compiled into a static library; without this the linker
    // drops it.
    Q_INIT_RESOURCE(about);
    ui->setupUi(this);
    // A fixed dialog frame with the system menu only: no resizing, no
    // minimise, maximise or help buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    connectControls();
    qApp->installEventFilter(this);
    FormCreate(statsPage);
}

TForm3::~TForm3()
{
    qApp->removeEventFilter(this);
    // The page has to go before the profile it lives on.
    delete ui->WebBrowser1->page();
}

QString TForm3::introduction()
{
    return QStringLiteral(
        "　　宋词是中国古代文学皇冠上光辉夺目的一颗巨钻，在古代文学的阆苑里，她是一块芬芳绚丽的园圃。"
        "她以姹紫嫣红、千姿百态的丰神，与唐诗争奇，与元曲斗妍，历来与唐诗并称双绝，都代表一代文学之胜。"
        "《Vennali》旨在以通俗、简洁、精要的方式介绍作者精选的三百首宋词作品，注释力求简明，疏通词义。\n"
        "　　《Vennali全集》以多媒体的形式整合了原诗、注释、赏析、朗读。"
        "宋词303首均可以真人语音全文朗读，很适合儿童早教，激发孩子的学习兴趣。");
}

void TForm3::FormCreate(const QUrl &statsPage)
{
    ui->FlatMemo1->setPlainText(introduction());
    // No storage name: an off-the-record profile, so the page leaves no
    // cookies or cache on disk.
    m_profile = new QWebEngineProfile(this);
    ui->WebBrowser1->setPage(new QWebEnginePage(m_profile, ui->WebBrowser1));
    ui->WebBrowser1->load(statsPage);
}

void TForm3::connectControls()
{
    connect(ui->Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    connect(ui->Label3, &ClickableLabel::clicked, this, &TForm3::Label3Click);
    connect(ui->Image1, &ClickableLabel::clicked, this, &TForm3::Image1Click);
}

void TForm3::Button1Click()
{
    close();
}

void TForm3::Label3Click()
{
    QDesktopServices::openUrl(QUrl(web::homePageUrl()));
}

void TForm3::Image1Click()
{
    QDesktopServices::openUrl(QUrl(web::homePageUrl()));
}

bool TForm3::eventFilter(QObject *watched, QEvent *event)
{
    if (ApplicationEvents1Message(watched, event))
        return true;
    return QDialog::eventFilter(watched, event);
}

bool TForm3::ApplicationEvents1Message(QObject *target, QEvent *event) const
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        if (static_cast<const QMouseEvent *>(event)->button() != Qt::RightButton)
            return false;
        break;
    case QEvent::ContextMenu:
        // Qt raises this from the right press itself, before any filter on
        // the widget could refuse the press.
        if (static_cast<const QContextMenuEvent *>(event)->reason() != QContextMenuEvent::Mouse)
            return false;
        break;
    default:
        return false;
    }
    return isInsidePage(target);
}

bool TForm3::isInsidePage(const QObject *target) const
{
    // The web engine draws into a child widget of the view, which is where
    // the mouse events go.
    const auto *widget = qobject_cast<const QWidget *>(target);
    const QWidget *page = ui->WebBrowser1;
    return widget && (widget == page || page->isAncestorOf(widget));
}

void TForm3::showEvent(QShowEvent *event)
{
    centreOnDesktop();
    QDialog::showEvent(event);
}

void TForm3::centreOnDesktop()
{
    const QScreen *desktop = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!desktop)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(desktop->geometry().center());
    move(frame.topLeft());
}
