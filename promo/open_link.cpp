#include "promo/open_link.h"

#include "promo/web_address.h"

#include <QDesktopServices>
#include <QUrl>

namespace promo {

bool openLink(const QString &address)
{
    const QUrl url(address);
    if (!isWebAddress(url))
        return false;
    return QDesktopServices::openUrl(url);
}

} // namespace promo
