#include "app/tangshi.h"
#include "ui_tangshi.h"

#include "app/instructions_file.h"
#include "app/vennali_application.h"
#include "app/web_endpoints.h"
#include "collection/collection_file.h"
#include "collection/quick_search.h"
#include "about/Unit3.h"
#include "promo/open_link.h"
#include "promo/zhua.h"
#include "reader/pane_clipboard.h"
#include "reader/poem_text.h"
#include "reader/speech_qt_engine.h"
#include "reader/term_highlighter.h"

#include <QCursor>
#include <QDesktopServices>
#include <QDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QWindow>

namespace {

constexpr int kTitleColumnWidth = 155;
constexpr int kAuthorColumnWidth = 55;

void showWarningBox(QWidget *parent, const QString &message)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("警告"), message, QMessageBox::NoButton, parent);
    box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.exec();
}

} // namespace

Tftangshi::Tftangshi(const QString &databaseFile, reader::SpeechEngineFactory speech, QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Tftangshi>())
    , spvoice1(std::move(speech))
{
    ui->setupUi(this);
    ui->Label15->setText(QStringLiteral("软件主页：") + web::host());
    ui->DBGridEh1->horizontalHeader()->setFont([this] {
        QFont font = ui->DBGridEh1->font();
        font.setPointSize(10);
        return font;
    }());
    // Every row has the same height, so the view never measures 21,000 rows.
    ui->DBGridEh1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ui->DBGridEh1->verticalHeader()->setDefaultSectionSize(ui->DBGridEh1->fontMetrics().height() + 6);
    ui->DBGridEh1->setModel(&q1);

    createMenus();

    // Loading the window opens the collection and the list of all poems.
    c1 = std::make_unique<collection::SqliteConnection>(databaseFile, collection::kCollectionKey);
    q1.open(*c1, collection::initialListStatement());

    connectControls();
    FormCreate();
}

Tftangshi::~Tftangshi() = default;

reader::SpeechEngineFactory Tftangshi::defaultSpeechEngine()
{
    return reader::qtSpeechEngineFactory();
}

void Tftangshi::attachAboutDialog(TForm3 *form3)
{
    Form3 = form3;
    registerProgramWindow(form3);
}

void Tftangshi::attachLinkRotator(Tfz *rotator)
{
    fz = rotator;
}

void Tftangshi::createMenus()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addActions({ui->N1, ui->N9, ui->N2, ui->N10, ui->N3, ui->N15, ui->N4, ui->N14,
                            ui->N5, ui->N13, ui->N6, ui->N12, ui->N7, ui->N11, ui->N8, ui->N25,
                            ui->N26, ui->N18, ui->N16});

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    PopupMenu2->addActions({ui->N17, ui->N24, ui->N19, ui->N20, ui->N21, ui->N22, ui->N23});
}

void Tftangshi::connectControls()
{
    connect(ui->Button1, &QPushButton::clicked, this, guarded(this, &Tftangshi::Button1Click));
    connect(ui->eso, &QLineEdit::returnPressed, this, guarded(this, &Tftangshi::Button1Click));
    connect(ui->Button2, &QPushButton::clicked, this, guarded(this, &Tftangshi::Button2Click));
    connect(ui->Button3, &QPushButton::clicked, this, guarded(this, &Tftangshi::Button3Click));
    connect(ui->N16, &QAction::triggered, this, guarded(this, &Tftangshi::N16Click));
    for (QAction *tune : {ui->N1, ui->N2, ui->N3, ui->N4, ui->N5, ui->N6, ui->N7, ui->N8, ui->N26}) {
        connect(tune, &QAction::triggered, this, guarded([this, tune] { showTune(tune->text()); }));
    }
    connect(ui->Label6, &ClickableLabel::clicked, this, guarded(this, &Tftangshi::Label6Click));
    connect(ui->Label5, &ClickableLabel::clicked, this, guarded(this, &Tftangshi::Label5Click));
    connect(ui->Label15, &ClickableLabel::clicked, this, guarded(this, &Tftangshi::Label15Click));
    connect(ui->StaticText1, &ClickableLabel::clicked, this, guarded(this, &Tftangshi::StaticText1Click));
    connect(ui->StaticText2, &ClickableLabel::clicked, this, guarded(this, &Tftangshi::StaticText2Click));
    connect(ui->N17, &QAction::triggered, this, guarded(this, &Tftangshi::N17Click));
    connect(ui->N24, &QAction::triggered, this, guarded(this, &Tftangshi::N24Click));
    connect(ui->N20, &QAction::triggered, this, guarded(this, &Tftangshi::N20Click));
    connect(ui->N21, &QAction::triggered, this, guarded(this, &Tftangshi::N21Click));
    connect(ui->N23, &QAction::triggered, this, guarded(this, &Tftangshi::N23Click));
    // Speech failures arrive from its thread; they go to the general error box.
    connect(&spvoice1, &reader::BackgroundReadAloud::failed, this,
            [](const QString &message) { VennaliApplication::showError(message); });

    connect(ui->DBGridEh1, &QTableView::clicked, this, guarded(this, &Tftangshi::DBGridEh1CellClick));
    // Keys that move the current row show that row's poem as a click does. A
    // mouse press also moves it; the click that follows shows the poem then.
    connect(ui->DBGridEh1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            guarded([this](const QModelIndex &current, const QModelIndex &) {
                if (current.isValid() && QGuiApplication::mouseButtons() == Qt::NoButton)
                    showPoemOfCurrentRow();
            }));

    connect(ui->rc, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { PopupMenu2->popup(ui->rc->viewport()->mapToGlobal(at)); });
    connect(ui->EmbeddedWB1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { PopupMenu2->popup(ui->EmbeddedWB1->mapToGlobal(at)); });

    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, guarded(this, &Tftangshi::onFocusWindowChanged));
}

void Tftangshi::registerProgramWindow(QWidget *window)
{
    m_programWindows.append(window);
}

void Tftangshi::onFocusWindowChanged(QWindow *focusWindow)
{
    if (!focusWindow)
        return;
    QWindow *previous = m_lastFocusWindow;
    m_lastFocusWindow = focusWindow;
    if (focusWindow != windowHandle())
        return;
    bool fromProgramWindow = false;
    for (const QPointer<QWidget> &window : std::as_const(m_programWindows)) {
        if (window && previous && window->windowHandle() == previous)
            fromProgramWindow = true;
    }
    if (!m_everActivated || fromProgramWindow) {
        m_everActivated = true;
        FormActivate();
    }
}

void Tftangshi::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The first showing counts as an activation even where no window manager
    // hands the window the focus.
    if (!m_everActivated) {
        m_everActivated = true;
        reportFailuresAfterEvent([this] { FormActivate(); });
    }
}

void Tftangshi::showModalProgramWindow(QDialog &dialog)
{
    const int before = m_activations;
    dialog.exec();
    activateWindow();
    // Where the window system reports no focus change back to us, run the
    // activation here, once.
    if (m_activations == before)
        activateFromProgramWindow();
}

void Tftangshi::activateFromProgramWindow()
{
    m_lastFocusWindow = windowHandle();
    FormActivate();
}

void Tftangshi::FormCreate()
{
    applyColumnLayout();
}

void Tftangshi::FormActivate()
{
    // Back to the pane's default format, so no red of an earlier poem colours
    // the instructions.
    ui->rc->clear();
    ui->rc->setCurrentCharFormat(QTextCharFormat());
    if (const std::optional<QString> text = instructions::load())
        ui->rc->setPlainText(*text);
    ui->EmbeddedWB1->navigate(QUrl(web::mainStatsUrl()));
    ++m_activations;
    emit activated();
}

void Tftangshi::applyColumnLayout()
{
    // Widths first, then hide the id, as the user may have resized them.
    ui->DBGridEh1->setColumnWidth(1, kTitleColumnWidth);
    ui->DBGridEh1->setColumnWidth(2, kAuthorColumnWidth);
    ui->DBGridEh1->setColumnHidden(0, true);
}

void Tftangshi::showxx(const collection::PoemStatement &statement)
{
    q1.open(*c1, statement);
    applyColumnLayout();
}

void Tftangshi::RearchAndReplace(const QString &find, const QString &replace)
{
    reader::replaceAndColour(*ui->rc, find, replace);
}

void Tftangshi::DBGridEh1CellClick(const QModelIndex &)
{
    showPoemOfCurrentRow();
}

void Tftangshi::showPoemOfCurrentRow()
{
    const QString id = q1.idAt(ui->DBGridEh1->currentIndex().row());
    if (id.isEmpty())
        return;
    if (!q2.open(*c1, collection::poemByIdStatement(id)))
        return;
    const QString text = reader::composePoemText(q2.field("title"), q2.field("zz"), q2.field("nr"));
    // Plain text in the pane's default format: the last poem's red is gone.
    ui->rc->clear();
    ui->rc->setCurrentCharFormat(QTextCharFormat());
    ui->rc->setPlainText(text);
    if (!HighlightTerm.isEmpty())
        RearchAndReplace(HighlightTerm, HighlightTerm);
}

void Tftangshi::Button1Click()
{
    // The buttons are asked in this order; exactly one is checked.
    collection::SearchField field = collection::SearchField::Text;
    if (ui->r1->isChecked())
        field = collection::SearchField::Title;
    else if (ui->r3->isChecked())
        field = collection::SearchField::Author;

    const collection::QuickSearch search = collection::quickSearch(ui->eso->text(), field);
    if (!search.warning.isEmpty()) {
        warn(search.warning);
        return;
    }
    HighlightTerm = search.highlightTerm;
    showxx(*search.statement);
}

void Tftangshi::Button2Click()
{
    PopupMenu1->popup(QCursor::pos() + QPoint(-30, 12));
}

void Tftangshi::Button3Click()
{
    HighlightTerm.clear();
    showxx(collection::allPoemsStatement());
}

void Tftangshi::N16Click()
{
    ui->Button3->click();
}

void Tftangshi::showTune(const QString &tune)
{
    HighlightTerm = tune;
    showxx(collection::tuneStatement(tune));
}

void Tftangshi::Label6Click()
{
    QDesktopServices::openUrl(QUrl(web::homePageUrl()));
}

void Tftangshi::warn(const QString &message)
{
    if (m_warn)
        m_warn(message);
    else
        showWarningBox(this, message);
}

void Tftangshi::Label5Click()
{
    if (Form3)
        showModalProgramWindow(*Form3);
}

void Tftangshi::N23Click()
{
    if (Form3)
        showModalProgramWindow(*Form3);
}

void Tftangshi::Label15Click()
{
    // The rotator's addresses come from the network: only web addresses open.
    promo::openLink(fz ? fz->linkUrl() : web::homePageUrlWithoutSlash());
}

void Tftangshi::N17Click()
{
    reader::copySelection(*ui->rc);
}

void Tftangshi::N24Click()
{
    reader::copyAllText(*ui->rc);
}

void Tftangshi::N20Click()
{
    spvoice1.readAloud(ui->rc->toPlainText());
}

void Tftangshi::N21Click()
{
    spvoice1.stop();
}

void Tftangshi::StaticText1Click()
{
    ui->N20->trigger();
}

void Tftangshi::StaticText2Click()
{
    ui->N21->trigger();
}
