#include "folder_snapshot.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <sys/stat.h>

namespace nowrites {

FolderSnapshot takeSnapshot(const QString &root)
{
    FolderSnapshot snapshot;
    const QDir base(root);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat status {};
        if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
            continue;
        SnapshotEntry entry;
        entry.isDir = S_ISDIR(status.st_mode);
        entry.size = status.st_size;
        entry.modifiedNs = qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
        entry.changedNs = qint64(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec;
        snapshot.insert(base.relativeFilePath(path), entry);
    }
    return snapshot;
}

QStringList changedEntries(const FolderSnapshot &before, const FolderSnapshot &after)
{
    QStringList changed;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        const auto old = before.constFind(it.key());
        if (old == before.cend()) {
            changed.append(it.key());
            continue;
        }
        // A folder's times move with its entries, which are compared themselves.
        if (old->isDir != it->isDir
            || (!it->isDir && (old->size != it->size || old->modifiedNs != it->modifiedNs
                               || old->changedNs != it->changedNs)))
            changed.append(it.key());
    }
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key()))
            changed.append(it.key());
    }
    changed.sort();
    return changed;
}

} // namespace nowrites
