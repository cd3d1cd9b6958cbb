#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

// Where the companion shows the icon: the application's icon name in the user's hicolor icon
// theme, which panels and launchers find through the desktop entry. Icon lookup weighs sizes
// before folders, so the user's theme carries the icon at each usual size and as a scalable
// variant for any other.
class IconThemeTile {
public:
    static constexpr int side = 512;

    // The theme under $XDG_DATA_HOME (normally ~/.local/share/icons/hicolor).
    IconThemeTile();

    // Puts `icon`, scaled proportionally, at every size of the user's theme, each file replaced in
    // one step and left alone when it already holds those bytes, then tells the theme's readers.
    void show(const QImage& icon);
    // Removes what show() wrote, so that lookup finds the installed icon again.
    void showInstalled() const;

private:
    struct IconFile {
        QString path;
        QByteArray bytes;
    };

    QStringList paths() const;
    QString svgPath() const;
    QString pngPath(int size) const;
    QList<IconFile> encoded(const QImage& icon) const;
    void announce() const;

    QString m_themePath;
    // The icon last shown and its files, so that showing it again encodes nothing.
    QImage m_encodedIcon;
    QList<IconFile> m_encodedFiles;
};
