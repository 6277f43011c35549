#pragma once
// Reading the output of
//   inotifywait -m -r -e <inotifyWriteEvents()> --format '%e %w%f' FOLDER...

#include <QList>
#include <QString>

namespace nowrites {

struct FileEvent
{
    QString events; // comma-separated, as inotifywait names them (CREATE,ISDIR)
    QString path;
};

// The events that mean a file or folder was created, written, changed in its
// attributes, moved or removed.
QString inotifyWriteEvents();

QList<FileEvent> parseInotifyLog(const QByteArray &log);

} // namespace nowrites
