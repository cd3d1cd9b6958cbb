#include "LocalFileSystem.h"

#include "SystemCall.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <memory>
#include <utility>

namespace LocalFileSystem {

std::optional<Attributes> attributesIfPresent(const QString& path)
{
    return LocalAttributes::readIfPresent(path);
}

Attributes attributes(const QString& path)
{
    return LocalAttributes::read(path);
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
        SystemCall::fail("cannot list the folder", folder);
    QList<Child> names;
    errno = 0;
    while (const dirent* entry = ::readdir(directory.get())) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(Child{name, kindOf(entry->d_type)});
        errno = 0;
    }
    if (errno != 0)
        SystemCall::fail("cannot list the folder", folder);
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
