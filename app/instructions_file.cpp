#include "app/instructions_file.h"

#include "app/gbk_text.h"

#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace instructions {

std::optional<QString> load(const QString &path)
{
    if (!QFileInfo::exists(path))
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()).toStdString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw std::runtime_error(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()).toStdString());
    return gbk::decode(bytes);
}

} // namespace instructions
