#pragma once

#include <QImage>
#include <QString>

// Where the companion shows the icon: the application's 512-pixel icon in the user's hicolor icon
// theme, which panels and launchers find by the icon name of the desktop entry.
class IconThemeTile {
public:
    static constexpr int side = 512;

    // The theme under $XDG_DATA_HOME (normally ~/.local/share/icons/hicolor).
    IconThemeTile();

    const QString& iconPath() const { return m_iconPath; }

    // Replaces the icon file in one step, scaled proportionally to the tile, then touches the
    // theme folder; an icon file that already holds these bytes is left alone. A failure is
    // reported on standard error; the old icon then stays.
    void show(const QImage& icon) const;

private:
    QString m_themePath;
    QString m_iconPath;
};
