// libFuzzer target: the GBK codec. Whatever bytes come in, decoding gives text
// that encodes and decodes back to itself (malformed bytes become replacement
// characters, which GB18030 can carry), and text made of whole characters
// survives encoding and decoding unchanged.

#include "app/gbk_text.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_gbk_codec: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const QString decoded = gbk::decode(bytes);
    const QByteArray encoded = gbk::encode(decoded);
    check(gbk::decode(encoded) == decoded, "decode(encode(decode(bytes))) differs from decode(bytes)");
    check(gbk::byteLength(decoded) == encoded.size(), "byteLength disagrees with encode");
    // Nothing is lost silently: every input byte is accounted for by text.
    check(bytes.isEmpty() || !decoded.isEmpty(), "bytes decoded to nothing");

    // The same bytes read as UTF-16 code units: text whose surrogates pair up
    // is a valid string and must survive the round trip exactly.
    if (size >= 2) {
        const QString text(reinterpret_cast<const QChar *>(data), qsizetype(size / 2));
        bool whole = true;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                ++i;
            else if (text[i].isSurrogate())
                whole = false;
        }
        if (whole)
            check(gbk::decode(gbk::encode(text)) == text, "text did not survive encode and decode");
    }

    // Walking by charLength always advances and ends exactly at the end.
    qsizetype at = 0;
    while (at < bytes.size()) {
        const int step = gbk::charLength(bytes, at);
        check(step >= 1 && step <= 4 && at + step <= bytes.size(), "charLength stepped out of range");
        at += step;
    }
    return 0;
}
