#pragma once
// Colours every occurrence of a term in the reading pane.

#include <QString>

class QTextEdit;

namespace reader {

// Walks the pane from its start, replacing each occurrence of `find` (Latin
// letters without regard to case) by `replace` shown in red. The next search
// starts after the inserted text, so occurrences never overlap and the walk
// ends even when `replace` contains `find`. Shows the wait cursor meanwhile and
// leaves the selection after the last replacement.
void replaceAndColour(QTextEdit &pane, const QString &find, const QString &replace);

} // namespace reader
