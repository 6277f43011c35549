#include "app/gbk_text.h"
#include "promo/link_list.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Writes the items back with every item quoted, which keeps blanks,
// delimiters and quotes inside them.
QString quoteEach(const QStringList &items)
{
    QStringList quoted;
    quoted.reserve(items.size());
    for (const QString &item : items) {
        QString copy = item;
        copy.replace(u'"', QStringLiteral("\"\""));
        quoted.append(u'"' + copy + u'"');
    }
    return quoted.join(u'|');
}

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "link list fuzz: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView body(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QStringList items = promo::parseLinkList(body);

    // Each item takes at least one character of the text (a delimiter for an
    // empty one) apart from the empty item after a final delimiter.
    const QString text = gbk::decode(body);
    if (items.size() > text.size() + 1)
        fail("more items than the text can hold");

    // Whatever was read must survive being written back in quoted form.
    if (promo::parseLinkList(QByteArrayView(gbk::encode(quoteEach(items)))) != items)
        fail("quoted items do not read back the same");
    return 0;
}
