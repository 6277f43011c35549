#pragma once
// The text the reading pane shows for one poem.

#include <QString>

namespace reader {

// Indent, title, indent, "【作者】：", author, an empty line, then the body as
// stored; "&quot;" becomes '"' everywhere and the whole text's ends are trimmed
// of blanks and control characters (the ideographic indent stays).
QString composePoemText(const QString &title, const QString &author, const QString &body);

} // namespace reader
