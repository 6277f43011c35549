#pragma once

#include <QUrl>

namespace promo {

// The fetched list is outside our control; of its addresses only absolute
// http and https ones with a host are handed to the browser, never a local
// file, a script or anything else the desktop would run.
bool isWebAddress(const QUrl &url);

} // namespace promo
