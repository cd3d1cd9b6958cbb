#include "IconThemeTile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <QStandardPaths>
#include <fcntl.h>
#include <sys/stat.h>

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

} // namespace

IconThemeTile::IconThemeTile()
    : m_themePath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/icons/hicolor"_s),
      m_iconPath(m_themePath + u"/512x512/apps/app.dravik.application.png"_s)
{
}

void IconThemeTile::show(const QImage& icon) const
{
    QSaveFile file(m_iconPath);
    if (!QDir().mkpath(QFileInfo(m_iconPath).path()) || !file.open(QIODevice::WriteOnly) ||
        !fitted(icon).save(&file, "PNG") || !file.commit()) {
        qWarning("cannot write the icon %s: %s", qPrintable(m_iconPath), qPrintable(file.errorString()));
        return;
    }
    // Icon theme caches of panels and launchers notice changes by the time of the theme folder.
    if (::utimensat(AT_FDCWD, QFile::encodeName(m_themePath).constData(), nullptr, 0) != 0)
        qWarning("cannot touch the icon theme folder %s", qPrintable(m_themePath));
}
