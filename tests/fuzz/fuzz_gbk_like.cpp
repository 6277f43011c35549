// libFuzzer target: the GBK LIKE matcher against an independent matcher over
// decoded characters.
//
// Input: one flag byte, then pattern and text separated by the first 0xFF byte
// (a byte that is never part of a GBK character). Flag bit 0 turns the escape
// on; bits 1-2 choose it among '!', '%', '_' and '。'.
//
// Every input is matched, so malformed bytes and slow patterns show up as
// crashes, sanitizer reports or timeouts. The answer is compared only when both
// sides are well-formed, assigned GB18030 (they survive a decode and encode
// round trip), because only then do decoded characters and byte characters
// correspond one to one.

#include "app/gbk_text.h"
#include "tests/support/reference_like.h"
#include "collection/gbk_like.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

bool roundTrips(QByteArrayView bytes, QString &decoded)
{
    decoded = gbk::decode(bytes);
    return gbk::encode(decoded) == bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t flags = data[0];
    const QByteArrayView rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const qsizetype split = rest.indexOf('\xFF');
    const QByteArrayView pattern = split < 0 ? rest : rest.first(split);
    const QByteArrayView text = split < 0 ? QByteArrayView() : rest.sliced(split + 1);

    static const QByteArray escapes[] = {QByteArray("!"), QByteArray("%"), QByteArray("_"),
                                         gbk::encode(u"。")};
    const QByteArray &escapeBytes = escapes[(flags >> 1) & 3];
    const std::optional<QByteArrayView> escape =
        (flags & 1) ? std::optional<QByteArrayView>(escapeBytes) : std::nullopt;

    const bool ours = collection::gbkLike(pattern, text, escape);

    QString decodedPattern, decodedText;
    if (!roundTrips(pattern, decodedPattern) || !roundTrips(text, decodedText))
        return 0;
    const std::optional<char32_t> escapeChar =
        (flags & 1) ? std::optional<char32_t>(char32_t(gbk::decode(escapeBytes).toUcs4().first()))
                    : std::nullopt;
    if (ours != reference::like(decodedPattern, decodedText, escapeChar)) {
        std::fprintf(stderr, "mismatch: pattern %s text %s escape %s: ours %d\n",
                     pattern.toByteArray().toHex().constData(), text.toByteArray().toHex().constData(),
                     escape ? escape->toByteArray().toHex().constData() : "none", int(ours));
        std::abort();
    }
    return 0;
}
