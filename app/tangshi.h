#pragma once
// The main window: quick search, browse by tune, the result list, the reading
// pane and the status bar of links.

#include "collection/collection_file.h"
#include "collection/poem_list_query.h"
#include "collection/sqlite_connection.h"
#include "reader/background_read_aloud.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QDialog;
class TForm3;
class Tfz;
class QMenu;
class QWindow;
class QModelIndex;

namespace Ui {
class Tftangshi;
}

class Tftangshi : public QWidget
{
    Q_OBJECT
public:
    // Opens the collection and its list; throws collection::DatabaseError when
    // the file cannot be opened or read.
    // The speech engine is made on the first request to read aloud.
    explicit Tftangshi(const QString &databaseFile = collection::kCollectionFileName,
                       reader::SpeechEngineFactory speech = defaultSpeechEngine(),
                       QWidget *parent = nullptr);
    static reader::SpeechEngineFactory defaultSpeechEngine();
    ~Tftangshi() override;

    // The term shown poems are coloured with; empty for none.
    QString HighlightTerm;

    Ui::Tftangshi &form() const { return *ui; }
    collection::PoemListQuery &listQuery() { return q1; }
    QMenu *tuneMenu() const { return PopupMenu1; }
    QMenu *paneMenu() const { return PopupMenu2; }

    // Activating the main window again after one of these windows of the
    // program resets the reading pane; switching applications does not.
    void registerProgramWindow(QWidget *window);
    // The About dialog and the link rotator, created after this window.
    void attachAboutDialog(TForm3 *form3);
    void attachLinkRotator(Tfz *fz);
    // Shows one of the program's windows modally; when it closes, the main
    // window is active again and its activation runs.
    void showModalProgramWindow(QDialog &dialog);

    // Where the warning boxes go; tests replace it to read them.
    using WarningPresenter = std::function<void(const QString &)>;
    void setWarningPresenter(WarningPresenter presenter) { m_warn = std::move(presenter); }

    void showxx(const collection::PoemStatement &statement);
    void applyColumnLayout();
    void RearchAndReplace(const QString &find, const QString &replace);

    void FormCreate();
    void FormActivate();
    void DBGridEh1CellClick(const QModelIndex &index);
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void N16Click();
    void Label6Click();
    void Label5Click();
    void Label15Click();
    void N17Click();
    void N24Click();
    void N20Click();
    void N21Click();
    void N23Click();
    void StaticText1Click();
    void StaticText2Click();
    bool VoiceChosen() const { return spvoice1.voiceChosen(); }

protected:
    void showEvent(QShowEvent *event) override;

signals:
    // Emitted after FormActivate has run (tests and the start-up benchmark watch it).
    void activated();

private:
    void createMenus();
    void connectControls();
    void showTune(const QString &tune);
    void showPoemOfCurrentRow();
    void onFocusWindowChanged(QWindow *focusWindow);
    void activateFromProgramWindow();
    void warn(const QString &message);

    std::unique_ptr<Ui::Tftangshi> ui;
    std::unique_ptr<collection::SqliteConnection> c1;
    collection::PoemListQuery q1;
    collection::PoemDetailQuery q2;
    QMenu *PopupMenu1 = nullptr;
    QMenu *PopupMenu2 = nullptr;
    // Speech runs on a thread of its own: a slow or stuck speech service never
    // holds up the window.
    reader::BackgroundReadAloud spvoice1;
    QPointer<TForm3> Form3;
    QPointer<Tfz> fz;

    WarningPresenter m_warn;
    QList<QPointer<QWidget>> m_programWindows;
    QPointer<QWindow> m_lastFocusWindow;
    bool m_everActivated = false;
    int m_activations = 0;
};
