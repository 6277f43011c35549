#include "app/appearance.h"

#include <QApplication>
#include <QFile>
#include <QFont>

namespace appearance {

void substituteWindowsFonts()
{
    QFont::insertSubstitutions(QStringLiteral("宋体"),
                               {QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC"),
                                QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Sans CJK SC")});
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Microsoft YaHei"), QStringLiteral("Noto Sans CJK SC"),
                                QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("DejaVu Sans")});
}

void applySkin(QApplication &app)
{
    QFile sheet(QStringLiteral(":/vennali/skin.qss"));
    if (sheet.open(QIODevice::ReadOnly | QIODevice::Text))
        app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
}

} // namespace appearance
