#include "app/gbk_text.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace gbk {

namespace {
constexpr const char *kCodecName = "GB18030";
}

QByteArray encode(QStringView text)
{
    QStringEncoder encoder(kCodecName);
    Q_ASSERT(encoder.isValid());
    return encoder.encode(text);
}

QString decode(QByteArrayView bytes)
{
    QStringDecoder decoder(kCodecName);
    Q_ASSERT(decoder.isValid());
    QString text = decoder.decode(bytes);
    // The converter keeps a sequence cut off at the end to itself, waiting for
    // more bytes; a line feed, which no sequence can take, makes it give that
    // up as a replacement character. The line feed itself is dropped again.
    text += decoder.decode(QByteArrayView("\n", 1));
    text.chop(1);
    return text;
}

qsizetype byteLength(QStringView text)
{
    return encode(text).size();
}

int charLength(QByteArrayView bytes, qsizetype pos)
{
    const qsizetype left = bytes.size() - pos;
    const auto at = [&](qsizetype i) { return static_cast<unsigned char>(bytes[pos + i]); };
    const unsigned char lead = at(0);
    if (lead < 0x81 || lead == 0xFF || left < 2)
        return 1;
    const unsigned char second = at(1);
    if ((second >= 0x40 && second <= 0x7E) || (second >= 0x80 && second <= 0xFE))
        return 2;
    // GB18030 four-byte form: lead, digit, lead-range byte, digit.
    if (second >= 0x30 && second <= 0x39 && left >= 4) {
        const unsigned char third = at(2);
        const unsigned char fourth = at(3);
        if (third >= 0x81 && third <= 0xFE && fourth >= 0x30 && fourth <= 0x39)
            return 4;
    }
    return 1;
}

} // namespace gbk

namespace text {

namespace {
template <typename Char>
bool isBlankOrControl(Char c)
{
    return static_cast<unsigned>(c) <= 32u;
}
}

QString trimControls(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlankOrControl(text[begin].unicode()))
        ++begin;
    while (end > begin && isBlankOrControl(text[end - 1].unicode()))
        --end;
    return text.mid(begin, end - begin).toString();
}

QByteArrayView trimControls(QByteArrayView bytes)
{
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && isBlankOrControl(static_cast<unsigned char>(bytes[begin])))
        ++begin;
    while (end > begin && isBlankOrControl(static_cast<unsigned char>(bytes[end - 1])))
        --end;
    return bytes.sliced(begin, end - begin);
}

} // namespace text
