#include "reader/pane_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTextCursor>
#include <QTextEdit>

namespace reader {

namespace {

void putOnClipboard(const QString &text)
{
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

} // namespace

QString selectedPlainText(const QTextEdit &pane)
{
    // QTextCursor marks paragraph and line ends with Unicode separators that
    // other programs would paste as one long line.
    QString text = pane.textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

void copySelection(const QTextEdit &pane)
{
    putOnClipboard(selectedPlainText(pane));
}

void copyAllText(const QTextEdit &pane)
{
    putOnClipboard(pane.toPlainText());
}

} // namespace reader
