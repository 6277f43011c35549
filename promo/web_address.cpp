#include "promo/web_address.h"

namespace promo {

bool isWebAddress(const QUrl &url)
{
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return false;
    // QUrl keeps schemes in lower case, so "HTTP:" arrives here as "http".
    const QString scheme = url.scheme();
    return scheme == u"http" || scheme == u"https";
}

} // namespace promo
