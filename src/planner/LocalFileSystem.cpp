#include "LocalFileSystem.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <utility>

namespace LocalFileSystem {

namespace {

[[noreturn]] void fail(const char* what, const QString& path, int error)
{
    throw std::filesystem::filesystem_error(what, std::filesystem::path(QFile::encodeName(path).toStdString()),
                                            std::error_code(error, std::generic_category()));
}

Attributes fromStat(const struct stat& info)
{
    Attributes attributes;
    attributes.isDirectory = S_ISDIR(info.st_mode);
    attributes.isSymbolicLink = S_ISLNK(info.st_mode);
    attributes.isRegularFile = S_ISREG(info.st_mode);
    if (attributes.isRegularFile)
        attributes.size = static_cast<qint64>(info.st_size);
    const qint64 milliseconds =
        static_cast<qint64>(info.st_mtim.tv_sec) * 1000 + static_cast<qint64>(info.st_mtim.tv_nsec / 1000000);
    attributes.modified = QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::UTC);
    return attributes;
}

} // namespace

std::optional<Attributes> attributesIfPresent(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) == 0)
        return fromStat(info);
    if (errno == ENOENT)
        return std::nullopt;
    fail("cannot read the attributes", path, errno);
}

Attributes attributes(const QString& path)
{
    if (const std::optional<Attributes> present = attributesIfPresent(path))
        return *present;
    fail("cannot read the attributes", path, ENOENT);
}

static std::optional<Attributes> kindOf(unsigned char type)
{
    Attributes kind;
    switch (type) {
    case DT_DIR: kind.isDirectory = true; return kind;
    case DT_REG: kind.isRegularFile = true; return kind;
    case DT_LNK: kind.isSymbolicLink = true; return kind;
    case DT_UNKNOWN: return std::nullopt;
    default: return kind;
    }
}

QList<Child> children(const QString& folder)
{
    const std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(QFile::encodeName(folder).constData()), ::closedir);
    if (!directory)
        fail("cannot list the folder", folder, errno);
    QList<Child> names;
    errno = 0;
    while (const dirent* entry = ::readdir(directory.get())) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(Child{name, kindOf(entry->d_type)});
        errno = 0;
    }
    if (errno != 0)
        fail("cannot list the folder", folder, errno);
    std::sort(names.begin(), names.end());
    return names;
}

// Where the path ends once trailing slashes are ignored, and the slash before that end (-1 if none).
static std::pair<qsizetype, qsizetype> lastSlash(const QString& path)
{
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == QLatin1Char('/'))
        --end;
    return {end, path.lastIndexOf(QLatin1Char('/'), end - 1)};
}

QString lastComponent(const QString& path)
{
    const auto [end, slash] = lastSlash(path);
    return path.mid(slash + 1, end - slash - 1);
}

QString parent(const QString& path)
{
    const qsizetype slash = lastSlash(path).second;
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString joining(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? QString(folder + name) : QString(folder + QLatin1Char('/') + name);
}

} // namespace LocalFileSystem
