#include "reader/pane_clipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QtTest>

namespace {

const QString kPoem = QStringLiteral("　　水调歌头\n　　【作者】：苏轼\n\n明月几时有？把酒问青天。\n不知天上宫阙，今夕是何年。");

// The reading pane as the program fills it: plain text, one term coloured red.
void fillPane(QTextEdit &pane)
{
    pane.setReadOnly(true);
    pane.setPlainText(kPoem);
    QTextCursor term = pane.document()->find(QStringLiteral("明月"));
    QTextCharFormat red;
    red.setForeground(Qt::red);
    term.mergeCharFormat(red);
}

void select(QTextEdit &pane, int from, int to)
{
    QTextCursor cursor(pane.document());
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    pane.setTextCursor(cursor);
}

} // namespace

class PaneClipboardTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void copiesTheSelection_data();
    void copiesTheSelection();
    void copiesTheWholeTextWithoutColour();
};

void PaneClipboardTest::init()
{
    QGuiApplication::clipboard()->setText(QStringLiteral("left over"));
}

void PaneClipboardTest::copiesTheSelection_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("copied");

    const int body = int(kPoem.indexOf(QStringLiteral("明月")));
    QTest::newRow("nothing selected") << 3 << 3 << QString();
    QTest::newRow("part of a line") << body << body + 5 << QStringLiteral("明月几时有");
    QTest::newRow("across lines keeps the breaks")
        << body << int(kPoem.indexOf(QStringLiteral("不知"))) + 2
        << QStringLiteral("明月几时有？把酒问青天。\n不知");
    QTest::newRow("empty line inside")
        << int(kPoem.indexOf(QStringLiteral("苏轼"))) << body + 2
        << QStringLiteral("苏轼\n\n明月");
    QTest::newRow("selected backwards") << body + 5 << body << QStringLiteral("明月几时有");
}

void PaneClipboardTest::copiesTheSelection()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, copied);

    QTextEdit pane;
    fillPane(pane);
    select(pane, from, to);
    reader::copySelection(pane);

    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data);
    QCOMPARE(data->text(), copied);
    QVERIFY(!data->hasHtml());
    // Copying leaves the pane as it was.
    QCOMPARE(pane.textCursor().selectionStart(), qMin(from, to));
    QCOMPARE(pane.textCursor().selectionEnd(), qMax(from, to));
}

void PaneClipboardTest::copiesTheWholeTextWithoutColour()
{
    QTextEdit pane;
    fillPane(pane);
    select(pane, 5, 7); // the selection does not matter
    reader::copyAllText(pane);

    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data);
    QCOMPARE(data->text(), kPoem);
    QVERIFY(!data->hasHtml());
    QCOMPARE(data->formats(), QStringList{QStringLiteral("text/plain")});
}

QTEST_MAIN(PaneClipboardTest)
#include "tst_pane_clipboard.moc"
