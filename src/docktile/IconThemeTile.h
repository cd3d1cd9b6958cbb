#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

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
    void show(const QImage& icon) const;
    // Removes what show() wrote, so that lookup finds the installed icon again.
    void showInstalled() const;

private:
    struct IconFile {
        QString path;
        QByteArray bytes; // empty: the file is to go
    };

    QList<IconFile> files(const QImage& icon) const;
    void update(const QList<IconFile>& files) const;
    void announce() const;

    QString m_themePath;
};
