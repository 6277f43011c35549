// songci-builder CORPUS_DIR OUTPUT_FILE
// Builds the encrypted poem database songci.idb from the unpacked Song ci
// corpus of chinese-poetry.

#include "collection/collection_file.h"
#include "tools/corpus.h"
#include "tools/corpus_folder.h"
#include "tools/poem_database.h"
#include "tools/staged_file.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>
#include <numeric>

namespace {

constexpr const char *kProgramName = "songci-builder";

void say(std::FILE *stream, const QString &line)
{
    std::fprintf(stream, "%s: %s\n", kProgramName, line.toLocal8Bit().constData());
    std::fflush(stream);
}

int build(const QString &corpusFolder, const QString &output)
{
    QElapsedTimer clock;
    clock.start();

    // Reserve the temporary file first: a missing output folder should fail
    // before a minute of reading.
    builder::StagedFile staged(output);

    const builder::CorpusContents corpus = builder::readCorpusFolder(
        corpusFolder, [](const QString &fileName, qsizetype poems) {
            say(stdout, QStringLiteral("read %1: %2 poems").arg(fileName).arg(poems));
        });

    std::vector<int> skipped;
    const std::vector<builder::PoemRow> rows =
        builder::assembleRows(corpus.selection, corpus.files, &skipped);
    say(stdout, QStringLiteral("%1 corpus poems already in the selection, left out")
                    .arg(std::accumulate(skipped.begin(), skipped.end(), 0)));

    say(stdout, QStringLiteral("writing %1 poems").arg(rows.size()));
    builder::writePoemDatabase(staged.path(), collection::kCollectionKey, rows);
    staged.commit();
    say(stdout, QStringLiteral("wrote %1 poems to %2 in %3 s")
                    .arg(rows.size())
                    .arg(staged.destination())
                    .arg(double(clock.elapsed()) / 1000.0, 0, 'f', 1));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR OUTPUT_FILE\n", kProgramName);
        return 2;
    }
    try {
        return build(arguments.at(1), arguments.at(2));
    } catch (const std::exception &error) {
        say(stderr, QString::fromStdString(error.what()));
        return 1;
    }
}
