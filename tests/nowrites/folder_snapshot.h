#pragma once
// What a folder tree holds, to tell afterwards what changed in it.

#include <QMap>
#include <QString>
#include <QStringList>

namespace nowrites {

struct SnapshotEntry
{
    bool isDir = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0; // inode change time: a chmod or a new hard link
};

// Every entry below `root` (hidden ones too; symbolic links not followed),
// keyed by its path relative to `root`.
using FolderSnapshot = QMap<QString, SnapshotEntry>;

FolderSnapshot takeSnapshot(const QString &root);

// Entries added, removed or whose files changed. A folder whose contents
// changed is not listed itself; the entries that changed are.
QStringList changedEntries(const FolderSnapshot &before, const FolderSnapshot &after);

} // namespace nowrites
