#pragma once
// Copying from the reading pane to the clipboard.

#include <QString>

class QTextEdit;

namespace reader {

// The pane's selection as plain text, paragraphs ending in "\n"; empty when
// nothing is selected.
QString selectedPlainText(const QTextEdit &pane);

// Both put plain text (no colours) on the clipboard, replacing what was there;
// with nothing selected copySelection puts an empty text there.
void copySelection(const QTextEdit &pane);
void copyAllText(const QTextEdit &pane);

} // namespace reader
