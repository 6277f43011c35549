#pragma once
// The optional instructions text shown in the reading pane when the main
// window becomes active.

#include <QString>

#include <optional>

namespace instructions {

inline const QString kFileName = QStringLiteral("使用说明.txt");

// The file's text decoded from GBK; nothing when the file does not exist.
// Throws std::runtime_error when it exists but cannot be read.
std::optional<QString> load(const QString &path = kFileName);

} // namespace instructions
