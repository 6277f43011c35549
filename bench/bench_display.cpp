// Showing a poem with a highlighted term against showing the same text with
// plain setPlainText, in the same run.
#include "reader/poem_text.h"
#include "reader/term_highlighter.h"

#include <QTest>
#include <QTextEdit>

namespace {

const QString kBody = QStringLiteral(
    "明月几时有？把酒问青天。不知天上宫阙，今夕是何年。\r\n"
    "我欲乘风归去，又恐琼楼玉宇，高处不胜寒。起舞弄清影，何似在人间。\r\n"
    "转朱阁，低绮户，照无眠。不应有恨，何事长向别时圆？\r\n"
    "人有悲欢离合，月有阴晴圆缺，此事古难全。但愿人长久，千里共婵娟。");

} // namespace

class DisplayBenchmark : public QObject
{
    Q_OBJECT
private slots:
    void plainText();
    void poemWithHighlightedTerm_data();
    void poemWithHighlightedTerm();
};

void DisplayBenchmark::plainText()
{
    QTextEdit pane;
    pane.setReadOnly(true);
    const QString text = reader::composePoemText(QStringLiteral("水调歌头·明月几时有"), QStringLiteral("苏轼"), kBody);
    QBENCHMARK {
        pane.clear();
        pane.setPlainText(text);
    }
}

void DisplayBenchmark::poemWithHighlightedTerm_data()
{
    QTest::addColumn<QString>("term");
    QTest::newRow("two-character term, twice") << QStringLiteral("明月");
    QTest::newRow("one-character term, six times") << QStringLiteral("有");
}

void DisplayBenchmark::poemWithHighlightedTerm()
{
    QFETCH(QString, term);
    QTextEdit pane;
    pane.setReadOnly(true);
    QBENCHMARK {
        const QString text = reader::composePoemText(QStringLiteral("水调歌头·明月几时有"), QStringLiteral("苏轼"), kBody);
        pane.clear();
        pane.setPlainText(text);
        reader::replaceAndColour(pane, term, term);
    }
}

QTEST_MAIN(DisplayBenchmark)
#include "bench_display.moc"
