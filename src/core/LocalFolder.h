#pragma once

#include "LocalAttributes.h"
#include "LocalFile.h"

#include <QString>
#include <functional>
#include <optional>
#include <utility>

// A local folder held open, in which items are reached by name and a symbolic link at that name
// is never followed. What another user of a shared folder can swap between a check and a use is
// the last component of a path; going through the folder's descriptor leaves no such moment.
// Errors throw std::filesystem::filesystem_error naming the item.
class LocalFolder {
public:
    // The folder `path` itself, reached through whatever links lead there.
    explicit LocalFolder(const QString& path);
    ~LocalFolder();
    LocalFolder(LocalFolder&& other) noexcept;
    LocalFolder(const LocalFolder&) = delete;
    LocalFolder& operator=(const LocalFolder&) = delete;

    // The folder holding `path` (relative paths start at the working folder), and the name of
    // `path` in it.
    static std::pair<LocalFolder, QString> containing(const QString& path);

    const QString& path() const { return folderPath; }
    QString file(const QString& name) const;

    // Absent when nothing has that name.
    std::optional<LocalAttributes> attributes(const QString& name) const;
    // Never through a symbolic link (that fails with ELOOP), never waiting for a FIFO's other
    // end, never becoming a controlling terminal. With O_CREAT the file gets `mode`.
    LocalFile open(const QString& name, int flags, mode_t mode = 0600) const;
    // Renames in one step; without `replace` an existing `to` is never replaced, not even one
    // that appears meanwhile.
    void rename(const QString& from, const QString& to, bool replace) const;
    void removeQuietly(const QString& name) const;

    // For tests: called with an item's path right before it is opened, so that a test can swap
    // the item at exactly that moment. Empty removes the hook.
    static void setBeforeOpenForTesting(std::function<void(const QString& path)> hook);

private:
    QString folderPath;
    int fd = -1;
};
