#include "app/startup.h"

#include "app/after_first_paint.h"
#include "app/appearance.h"
#include "app/tangshi.h"
#include "app/vennali_application.h"
#include "about/Unit3.h"
#include "promo/zhua.h"
#include "ui_tangshi.h"

#include <QGuiApplication>
#include <QScreen>

#include <memory>

namespace {

// The window opens where it was designed to, but never partly off a screen
// smaller than the designer's.
void placeAsDesigned(QWidget &window)
{
    const QPoint designed(320, 521);
    window.move(designed);
    const QScreen *screen = QGuiApplication::screenAt(designed);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QSize frame = window.frameGeometry().size();
    const int x = qBound(available.left(), designed.x(), qMax(available.left(), available.right() - frame.width()));
    const int y = qBound(available.top(), designed.y(), qMax(available.top(), available.bottom() - frame.height()));
    window.move(x, y);
}

} // namespace

int runVennali(VennaliApplication &app)
{
    appearance::substituteWindowsFonts();
    appearance::applySkin(app);
    app.setWindowIcon(QIcon(QStringLiteral(":/vennali/vennali.png")));

    std::unique_ptr<Tftangshi> ftangshi;
    if (!reportFailures([&] { ftangshi = std::make_unique<Tftangshi>(); }))
        return 1;

    placeAsDesigned(*ftangshi);
    ftangshi->show();

    // Then the About dialog, which starts loading its page, and the link
    // rotator, whose fetch timer starts counting. They come right after the
    // main window's first paint, so the web engine's start never delays it.
    std::unique_ptr<TForm3> Form3;
    std::unique_ptr<Tfz> fz;
    runAfterFirstPaint(ftangshi.get(), [&] {
        Form3 = std::make_unique<TForm3>(ftangshi.get());
        ftangshi->attachAboutDialog(Form3.get());
        fz = std::make_unique<Tfz>(ftangshi->form().Label15);
        ftangshi->attachLinkRotator(fz.get());
    });
    return app.exec();
}
