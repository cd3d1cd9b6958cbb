#pragma once

#include <QString>

// Absolute, "/"-separated remote paths; the root is "/".
namespace RemotePath {

QString parent(const QString& path);
QString joining(const QString& folder, const QString& name);
// The last component of a path ("" for the root).
QString lastComponent(const QString& path);
bool isValidName(const QString& name);
// Absolute and free of line breaks and U+0000: what every remote operation accepts.
bool isUsable(const QString& path);

// How deep a recursive walk (deletion, planning) may go below its starting point.
inline constexpr int maximumDepth = 99;
// Throws FTPError "recursion_limit" for the root, which is never deleted as a tree, and for
// `depth` beyond the limit.
void checkTreeDeletion(const QString& path, int depth);

} // namespace RemotePath
