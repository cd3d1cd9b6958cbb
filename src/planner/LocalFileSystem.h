#pragma once

#include "LocalAttributes.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The few reads the planner makes of the local disk. A final symbolic link is never followed,
// so a link is always seen as a link, whatever it points to (or whether it points anywhere).
namespace LocalFileSystem {

using Attributes = LocalAttributes;

struct Child {
    QByteArray name;
    // The kind the folder listing reports, when the file system reports one: enough to plan an
    // item that meets nothing at its destination, without reading the item itself.
    std::optional<Attributes> kind;

    bool operator<(const Child& other) const { return name < other.name; }
};

// Throws std::filesystem::filesystem_error when the item cannot be read.
Attributes attributes(const QString& path);
// Absent when nothing of that name exists; other failures throw as above.
std::optional<Attributes> attributesIfPresent(const QString& path);
// The items inside a folder, "." and ".." left out, in byte order of their raw names, which for
// UTF-8 is code-point order. Throws std::filesystem::filesystem_error.
QList<Child> children(const QString& folder);

QString lastComponent(const QString& path);
QString parent(const QString& path);
QString joining(const QString& folder, const QString& name);

} // namespace LocalFileSystem
