#include "inotify_log.h"

namespace nowrites {

QString inotifyWriteEvents()
{
    return QStringLiteral("create,modify,attrib,close_write,moved_from,moved_to,move_self,delete,delete_self");
}

QList<FileEvent> parseInotifyLog(const QByteArray &log)
{
    QList<FileEvent> events;
    for (const QByteArray &rawLine : log.split('\n')) {
        const QString line = QString::fromUtf8(rawLine);
        const qsizetype space = line.indexOf(u' ');
        // The path may hold spaces; the event names never do.
        if (space <= 0 || space + 1 >= line.size())
            continue;
        events.append({line.left(space), line.mid(space + 1)});
    }
    return events;
}

} // namespace nowrites
