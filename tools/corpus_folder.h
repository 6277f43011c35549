#pragma once
// Reading the unpacked corpus folder: the selection file and the ci.song.*.json
// files in their order.

#include "tools/corpus.h"

#include <QString>

#include <functional>
#include <vector>

namespace builder {

inline const QString kSelectionFileName = QStringLiteral("宋词三百首.json");

struct CorpusContents
{
    std::vector<Poem> selection;
    std::vector<CorpusFile> files;
};

// Called after each file is read, with its name and poem count.
using ReadProgress = std::function<void(const QString &fileName, qsizetype poems)>;

// Throws BuildError when the folder, the selection file or every ci.song file
// is missing, or when any of them cannot be read or parsed.
CorpusContents readCorpusFolder(const QString &folder, const ReadProgress &progress = {});

} // namespace builder
