// readme-screenshot OUTPUT.png
// Shows the main window as a person would use it — a text search for 明月 and
// a poem with the term in red — and saves a picture of it. Run it from the
// folder holding songci.idb, under a display (scripts/screenshot.sh uses Xvfb).

#include "app/appearance.h"
#include "app/tangshi.h"
#include "app/vennali_application.h"
#include "ui_tangshi.h"

#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: readme-screenshot OUTPUT.png\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    VennaliApplication app(argc, argv);
    appearance::substituteWindowsFonts();
    appearance::applySkin(app);

    Tftangshi window;
    window.show();
    auto &ui = window.form();
    ui.r2->setChecked(true);
    ui.eso->setText(QStringLiteral("明月"));
    window.Button1Click();

    // The best-known poem with the term, when the search found it.
    const auto &list = window.listQuery();
    int row = 0;
    for (int r = 0; r < list.rowCount(); ++r) {
        if (list.data(list.index(r, 1)).toString() == QStringLiteral("水调歌头·明月几时有")) {
            row = r;
            break;
        }
    }
    ui.DBGridEh1->setCurrentIndex(list.index(row, 1));
    ui.DBGridEh1->scrollTo(ui.DBGridEh1->currentIndex());
    window.DBGridEh1CellClick(ui.DBGridEh1->currentIndex());

    int status = 1;
    QTimer::singleShot(1500, &window, [&] {
        status = window.grab().save(output) ? 0 : 1;
        if (status != 0)
            std::fprintf(stderr, "readme-screenshot: cannot write %s\n", argv[1]);
        app.quit();
    });
    app.exec();
    return status;
}
