#include "reader/poem_text.h"

#include "app/gbk_text.h"

namespace reader {

QString composePoemText(const QString &title, const QString &author, const QString &body)
{
    const QString indent = QStringLiteral("\u3000\u3000");
    QString composed = indent + title + indent + QStringLiteral("【作者】：") + author
                       + QStringLiteral("\r\n\r\n") + body;
    composed.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    return text::trimControls(composed);
}

} // namespace reader
