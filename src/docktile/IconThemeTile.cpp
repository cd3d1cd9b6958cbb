#include "IconThemeTile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QImage fitted(const QImage& icon)
{
    constexpr int side = IconThemeTile::side;
    if (icon.size() == QSize(side, side))
        return icon;
    QImage canvas(side, side, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    const QImage scaled = icon.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter(&canvas).drawImage((side - scaled.width()) / 2, (side - scaled.height()) / 2, scaled);
    return canvas;
}

QByteArray png(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, "PNG") ? bytes : QByteArray();
}

// Whether `path` is a regular file holding exactly `bytes`; a link there never counts.
bool holds(const QString& path, const QByteArray& bytes)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    QFile file;
    struct stat status = {};
    const bool same = ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) && status.st_size == bytes.size() &&
                      file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle) &&
                      file.readAll() == bytes;
    if (!file.isOpen())
        ::close(descriptor);
    return same;
}

// A new file beside `path`, renamed over the name: whatever was there, a link planted by someone
// else included, is replaced, never written through.
bool replace(const QString& path, const QByteArray& bytes)
{
    QTemporaryFile file(path + u".XXXXXX"_s);
    if (!QDir().mkpath(QFileInfo(path).path()) || !file.open() || file.write(bytes) != bytes.size() || !file.flush() ||
        !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther)) {
        qWarning("cannot write the icon %s: %s", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    if (::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        qWarning("cannot replace the icon %s: %s", qPrintable(path), std::strerror(errno));
        return false;
    }
    file.setAutoRemove(false);
    return true;
}

} // namespace

IconThemeTile::IconThemeTile()
    : m_themePath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/icons/hicolor"_s),
      m_iconPath(m_themePath + u"/512x512/apps/app.dravik.application.png"_s)
{
}

void IconThemeTile::show(const QImage& icon) const
{
    const QByteArray bytes = png(fitted(icon));
    if (bytes.isEmpty()) {
        qWarning("cannot encode the icon %s", qPrintable(m_iconPath));
        return;
    }
    if (holds(m_iconPath, bytes) || !replace(m_iconPath, bytes))
        return;
    // Icon theme caches of panels and launchers notice changes by the time of the theme folder.
    if (::utimensat(AT_FDCWD, QFile::encodeName(m_themePath).constData(), nullptr, 0) != 0)
        qWarning("cannot touch the icon theme folder %s", qPrintable(m_themePath));
}
