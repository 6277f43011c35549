#include "reader/term_highlighter.h"

#include <QGuiApplication>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace reader {

namespace {

class WaitCursor
{
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace

void replaceAndColour(QTextEdit &pane, const QString &find, const QString &replace)
{
    WaitCursor waitCursor;
    if (find.isEmpty())
        return;
    QTextDocument *document = pane.document();
    // The search range is the length at the start; each search covers that
    // many positions from where it begins.
    const int range = document->characterCount() - 1;

    QTextCharFormat red;
    red.setForeground(QColor(255, 0, 0));

    int from = 0;
    QTextCursor lastReplaced;
    for (;;) {
        const QTextCursor found = document->find(find, from);
        if (found.isNull() || found.selectionEnd() > from + range)
            break;
        QTextCursor cursor = found;
        const int start = cursor.selectionStart();
        QTextCharFormat format = cursor.charFormat();
        format.merge(red);
        cursor.insertText(replace, format);
        lastReplaced = cursor;
        from = start + int(replace.size());
    }
    if (!lastReplaced.isNull())
        pane.setTextCursor(lastReplaced);
}

} // namespace reader
