#pragma once
// The poem collection's file: its name, looked up in the current directory,
// and the key it is encrypted with.

#include <QByteArrayView>
#include <QString>

namespace collection {

inline const QString kCollectionFileName = QStringLiteral("songci.idb");
inline constexpr QByteArrayView kCollectionKey{"mirv2031460K"};

} // namespace collection
