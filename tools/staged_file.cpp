#include "tools/staged_file.h"

#include "tools/corpus.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace builder {

StagedFile::StagedFile(const QString &destination)
    : m_destination(QFileInfo(destination).absoluteFilePath())
{
    const QFileInfo target(m_destination);
    if (!target.dir().exists())
        throw BuildError(QStringLiteral("%1: no such folder").arg(target.absolutePath()));

    // Only the unique name is wanted: the file is closed again so that SQLite
    // can open it by path. A leading dot keeps it out of the reader's way.
    QTemporaryFile reserved(target.dir().filePath(
        QStringLiteral(".%1.XXXXXX.tmp").arg(target.fileName())));
    reserved.setAutoRemove(false);
    if (!reserved.open())
        throw BuildError(QStringLiteral("cannot create a temporary file in %1: %2")
                             .arg(target.absolutePath(), reserved.errorString()));
    m_path = reserved.fileName();
    reserved.close();
}

StagedFile::~StagedFile()
{
    if (!m_committed)
        removeLeftovers();
}

void StagedFile::commit()
{
    // QTemporaryFile creates the file readable by its owner only; the finished
    // file gets the usual permissions of a data file.
    QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                      | QFile::ReadOther);
    // rename(2) replaces an existing destination in one step, which
    // QFile::rename does not promise.
    if (std::rename(QFile::encodeName(m_path).constData(),
                    QFile::encodeName(m_destination).constData())
        != 0) {
        const int error = errno;
        throw BuildError(QStringLiteral("cannot replace %1: %2")
                             .arg(m_destination, QString::fromLocal8Bit(std::strerror(error))));
    }
    m_committed = true;
}

void StagedFile::removeLeftovers() const
{
    QFile::remove(m_path);
    QFile::remove(m_path + QStringLiteral("-journal"));
}

} // namespace builder
