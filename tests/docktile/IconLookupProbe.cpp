// icon_lookup_probe SIZE...
//
// Looks the application's icon up as a Qt panel does, with QIcon::fromTheme, and prints for each
// size "qt SIZE - GREY": the grey level at the icon's centre as drawn at that size (the light
// icon's tile is pale, the installed one's dark), or -1 when nothing is found.

#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    const QIcon icon = QIcon::fromTheme(QStringLiteral("app.dravik.application"));
    for (const QString& size : QGuiApplication::arguments().mid(1)) {
        const QImage image = icon.pixmap(size.toInt()).toImage();
        const QRgb centre = image.isNull() ? 0 : image.pixel(image.width() / 2, image.height() / 2);
        std::printf("qt %s - %d\n", qPrintable(size), image.isNull() ? -1 : qGray(centre));
    }
}
