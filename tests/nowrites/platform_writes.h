#pragma once
// Files that libraries below the program write into a user's home on their
// own, whatever program runs them. A write there is not the program's.

#include <QString>

namespace nowrites {

// Why a write to `pathInHome` (relative to the home folder, '/'-separated)
// is the platform's; empty when it is not on the list.
QString platformWriteReason(const QString &pathInHome);

} // namespace nowrites
