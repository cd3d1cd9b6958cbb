#pragma once

#include <QString>

// Folders that only this user may enter, made with their final permissions from the first
// moment so that no other user can slip in between creation and a later chmod.
namespace PrivateFolder {

// "<parent>/<prefix><UUID>"; throws std::filesystem::filesystem_error when it cannot be made.
QString create(const QString& parent, const QString& prefix);
// Removes the folder with everything in it; never fails.
void remove(const QString& folder);

} // namespace PrivateFolder
