#include "IconThemeTile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

const QString iconName = u"app.dravik.application"_s;
// Lookup picks the size before the folder: every size the application's PNGs come in is covered,
// whether or not an installation carries them.
constexpr int sizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};

QImage fitted(const QImage& icon, int side)
{
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

// Only a regular file at the name is the companion's own: a link there is someone else's, and
// stays, and so does what it points to.
bool removeOwn(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status = {};
    if (::lstat(name.constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    if (::unlink(name.constData()) != 0) {
        qWarning("cannot remove the icon %s: %s", qPrintable(path), std::strerror(errno));
        return false;
    }
    return true;
}

} // namespace

IconThemeTile::IconThemeTile()
    : m_themePath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/icons/hicolor"_s)
{
}

// A failure is reported on standard error; the icons shown before then stay.
void IconThemeTile::show(const QImage& icon)
{
    // The companion shows one drawing over and over: it is encoded the first time only.
    if (icon.cacheKey() != m_encodedIcon.cacheKey()) {
        m_encodedIcon = icon;
        m_encodedFiles = encoded(icon);
    }
    if (m_encodedFiles.isEmpty()) {
        qWarning("cannot encode the icon for %s", qPrintable(m_themePath));
        return;
    }
    bool changed = false;
    for (const IconFile& file : std::as_const(m_encodedFiles))
        if (!holds(file.path, file.bytes))
            changed |= replace(file.path, file.bytes);
    if (changed)
        announce();
}

void IconThemeTile::showInstalled() const
{
    bool changed = false;
    for (const QString& path : paths())
        changed |= removeOwn(path);
    if (changed)
        announce();
}

// The SVG first, then the PNGs from small to large: whoever waits for the icon at the tile's size
// sees the others in place.
QStringList IconThemeTile::paths() const
{
    QStringList paths{svgPath()};
    for (const int size : sizes)
        paths.append(pngPath(size));
    return paths;
}

QString IconThemeTile::svgPath() const
{
    return m_themePath + u"/scalable/apps/"_s + iconName + u".svg"_s;
}

QString IconThemeTile::pngPath(int size) const
{
    return m_themePath + u"/%1x%1/apps/"_s.arg(size) + iconName + u".png"_s;
}

// In the order of paths(). The SVG carries the largest PNG, the only scalable form of a drawing made
// of pixels. Nothing when a size cannot be encoded.
QList<IconThemeTile::IconFile> IconThemeTile::encoded(const QImage& icon) const
{
    QList<IconFile> files{{svgPath(), {}}};
    for (const int size : sizes) {
        const QByteArray bytes = png(fitted(icon, size));
        if (bytes.isEmpty())
            return {};
        files.append({pngPath(size), bytes});
    }
    files.first().bytes = u"<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                          u"width=\"%1\" height=\"%1\"><image width=\"%1\" height=\"%1\" "
                          u"xlink:href=\"data:image/png;base64,%2\"/></svg>\n"_s.arg(side)
                              .arg(QString::fromLatin1(files.constLast().bytes.toBase64()))
                              .toUtf8();
    return files;
}

// Icon theme caches of panels and launchers notice changes by the time of the theme folder; a
// cache file in it would hide them from a lookup, so one that exists is rebuilt.
void IconThemeTile::announce() const
{
    if (::utimensat(AT_FDCWD, QFile::encodeName(m_themePath).constData(), nullptr, 0) != 0)
        qWarning("cannot touch the icon theme folder %s", qPrintable(m_themePath));
    if (QFileInfo::exists(m_themePath + u"/icon-theme.cache"_s) &&
        QProcess::execute(u"gtk-update-icon-cache"_s,
                          {u"--force"_s, u"--ignore-theme-index"_s, u"--quiet"_s, m_themePath}) != 0)
        qWarning("cannot update the icon theme cache in %s", qPrintable(m_themePath));
}
