#pragma once
// The list of captions and addresses the maker publishes for the status bar:
// items separated by "|", caption first, then its address.

#include <QByteArrayView>
#include <QStringList>
#include <QStringView>

namespace promo {

// Splits a fetched body (GBK bytes) into its items. The bytes are decoded
// before scanning, so the second byte of a two-byte character is never taken
// for a delimiter even when it is 0x7C.
QStringList parseLinkList(QByteArrayView gbkBody);

// The same on text that is already decoded; the text is trimmed of codes 0-32
// at both ends first.
QStringList parseLinkList(QStringView text);

// Number of complete caption/address pairs; an odd last item belongs to none.
inline qsizetype linkPairCount(const QStringList &items)
{
    return items.size() / 2;
}

} // namespace promo
