#include "platform_writes.h"

#include <QList>
#include <QRegularExpression>

namespace nowrites {

namespace {

struct PlatformWriter
{
    QRegularExpression path;
    QString why;
};

const QList<PlatformWriter> &platformWriters()
{
    static const QList<PlatformWriter> writers{
        // The web engine draws with OpenGL; Mesa (llvmpipe on a virtual X
        // server) keeps the shaders it compiled for any OpenGL program in the
        // user's cache. Switched off only by MESA_SHADER_CACHE_DISABLE in the
        // environment.
        {QRegularExpression(QStringLiteral(R"(^\.cache/mesa_shader_cache(_db)?(/.*)?$)")),
         QStringLiteral("Mesa's OpenGL shader cache")},
        // fontconfig refreshes a per-user font cache when the system one is
        // older than a font folder, for any program that lists fonts.
        {QRegularExpression(QStringLiteral(R"(^(\.cache/fontconfig|\.fontconfig)(/.*)?$)")),
         QStringLiteral("fontconfig's font cache")},
    };
    return writers;
}

} // namespace

QString platformWriteReason(const QString &pathInHome)
{
    for (const PlatformWriter &writer : platformWriters()) {
        if (writer.path.match(pathInHome).hasMatch())
            return writer.why;
    }
    return QString();
}

} // namespace nowrites
