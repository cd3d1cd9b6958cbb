#pragma once

#include "LocalAttributes.h"

#include <QByteArrayView>
#include <QString>
#include <utility>

// A local file held open. Whatever was checked about it stays true for every read, write and
// attribute query, because they all act on the descriptor and never resolve the path again.
// Errors throw std::filesystem::filesystem_error naming the file.
class LocalFile {
public:
    // Takes ownership of `fd`; `path` names the file in errors.
    LocalFile(int fd, QString path);
    ~LocalFile();
    LocalFile(LocalFile&& other) noexcept;
    LocalFile& operator=(LocalFile&& other) noexcept;
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    // `path` opened inside its folder as LocalFolder::open does.
    static LocalFile open(const QString& path, int flags, mode_t mode = 0600);

    int descriptor() const { return fd; }
    const QString& path() const { return filePath; }
    // From now on errors name `path`: for a temporary file that stands for the one a person chose.
    void showAs(QString path) { filePath = std::move(path); }
    // What open() gives a new file of mode 0666 under this process's umask.
    static mode_t permissionsForNewFile();

    LocalAttributes attributes() const;
    void setPermissions(mode_t permissions);
    qint64 seek(qint64 position, int whence);
    void truncate(qint64 size);
    // Up to `count` octets; 0 at the end of the file.
    qint64 read(char* into, qint64 count);
    QByteArray readToEnd();
    void write(QByteArrayView bytes);
    // Appends what `source` holds from its current position on.
    void copyFrom(LocalFile& source);
    // A written file reports some write errors only here.
    void close();

private:
    int fd = -1;
    QString filePath;
};
