#include "promo/link_list.h"

#include "app/gbk_text.h"

namespace promo {

namespace {

constexpr QChar kDelimiter = u'|';
constexpr QChar kQuote = u'"';

// Code 0 counts as a blank too: a NUL inside a body must neither end the list
// early nor end up inside a caption.
bool isBlank(QChar c)
{
    return c.unicode() <= 32;
}

class Scanner
{
public:
    explicit Scanner(QStringView text) : m_text(text) {}

    QStringList items()
    {
        QStringList result;
        skipBlanks();
        while (!atEnd()) {
            result.append(peek() == kQuote ? quotedItem() : plainItem());
            skipBlanks();
            if (!atEnd() && peek() == kDelimiter) {
                ++m_pos;
                // A delimiter that closes the text still separates something
                // from nothing: the list ends with an empty item.
                if (atEnd())
                    result.append(QString());
                skipBlanks();
            }
        }
        return result;
    }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar peek() const { return m_text[m_pos]; }

    void skipBlanks()
    {
        while (!atEnd() && isBlank(peek()))
            ++m_pos;
    }

    // Runs to a blank or a delimiter; an item that starts at a delimiter is
    // the empty item between two delimiters.
    QString plainItem()
    {
        const qsizetype begin = m_pos;
        while (!atEnd() && !isBlank(peek()) && peek() != kDelimiter)
            ++m_pos;
        return m_text.sliced(begin, m_pos - begin).toString();
    }

    // Starts at the opening quote and stops after the closing one. Two quotes
    // in a row stand for one. Without a closing quote the item takes the rest
    // of the text.
    QString quotedItem()
    {
        QString item;
        ++m_pos;
        while (!atEnd()) {
            const QChar c = peek();
            ++m_pos;
            if (c != kQuote) {
                item.append(c);
                continue;
            }
            if (atEnd() || peek() != kQuote)
                return item;
            item.append(kQuote);
            ++m_pos;
        }
        return item;
    }

    QStringView m_text;
    qsizetype m_pos = 0;
};

} // namespace

QStringList parseLinkList(QStringView text)
{
    const QString trimmed = text::trimControls(text);
    return Scanner(trimmed).items();
}

QStringList parseLinkList(QByteArrayView gbkBody)
{
    return parseLinkList(QStringView(gbk::decode(gbkBody)));
}

} // namespace promo
