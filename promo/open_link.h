#pragma once

#include <QString>

namespace promo {

// Opens a web address in the user's browser. Anything but an absolute http or
// https address is refused: nothing is opened and the result is false.
bool openLink(const QString &address);

} // namespace promo
