#include "tools/corpus_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace builder {

namespace {

std::vector<Poem> readPoemFile(const QDir &folder, const QString &fileName)
{
    QFile file(folder.filePath(fileName));
    if (!file.open(QIODevice::ReadOnly))
        throw BuildError(QStringLiteral("%1: cannot read: %2").arg(fileName, file.errorString()));
    return parsePoems(file.readAll(), fileName);
}

} // namespace

CorpusContents readCorpusFolder(const QString &folder, const ReadProgress &progress)
{
    const QFileInfo info(folder);
    if (!info.exists())
        throw BuildError(QStringLiteral("%1: no such folder").arg(folder));
    if (!info.isDir())
        throw BuildError(QStringLiteral("%1: not a folder").arg(folder));
    const QDir dir(folder);

    const auto report = [&](const QString &name, qsizetype count) {
        if (progress)
            progress(name, count);
    };

    CorpusContents contents;
    if (!QFileInfo(dir.filePath(kSelectionFileName)).isFile())
        throw BuildError(QStringLiteral("%1: the selection file %2 is missing")
                             .arg(folder, kSelectionFileName));
    contents.selection = readPoemFile(dir, kSelectionFileName);
    report(kSelectionFileName, qsizetype(contents.selection.size()));

    const QStringList names = corpusFileOrder(dir.entryList(QDir::Files));
    if (names.isEmpty())
        throw BuildError(QStringLiteral("%1: no ci.song.*.json files").arg(folder));
    for (const QString &name : names) {
        contents.files.push_back({name, readPoemFile(dir, name)});
        report(name, qsizetype(contents.files.back().poems.size()));
    }
    return contents;
}

} // namespace builder
