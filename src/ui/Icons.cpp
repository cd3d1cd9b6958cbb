#include "Icons.h"

#include "SymbolIconEngine.h"

#include <QDirIterator>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace Icons {

// Standard freedesktop icon names; those the fallback theme draws only in a
// pale grey, which reads as disabled, are its symbolic ones, drawn in the text colour.
const QList<std::pair<QString, QString>>& table()
{
    static const QList<std::pair<QString, QString>> symbols = {
        {u"app"_s, u"application-x-executable"_s},
        {u"arrow.clockwise"_s, u"view-refresh-symbolic"_s},
        {u"arrow.down.circle.fill"_s, u"go-down"_s},
        {u"arrow.left"_s, u"go-previous-symbolic"_s},
        {u"arrow.left.arrow.right"_s, u"network-transmit-receive"_s},
        {u"arrow.left.arrow.right.circle"_s, u"network-transmit-receive"_s},
        {u"arrow.right"_s, u"go-next-symbolic"_s},
        {u"arrow.triangle.2.circlepath"_s, u"software-update-available"_s},
        {u"arrow.up"_s, u"go-up-symbolic"_s},
        {u"arrow.up.circle.fill"_s, u"go-up"_s},
        {u"bolt.horizontal"_s, u"network-wired"_s},
        {u"chevron.left.forwardslash.chevron.right"_s, u"text-x-script"_s},
        {u"circle.dotted"_s, u"network-offline"_s},
        {u"circle.lefthalf.filled"_s, u"preferences-desktop-theme"_s},
        {u"doc"_s, u"text-x-generic"_s},
        {u"doc.zipper"_s, u"package-x-generic"_s},
        {u"ellipsis.circle"_s, u"document-properties"_s},
        {u"externaldrive.connected.to.line.below"_s, u"folder-remote"_s},
        {u"folder"_s, u"folder"_s},
        {u"folder.badge.plus"_s, u"folder-new"_s},
        {u"folder.fill"_s, u"folder"_s},
        {u"gearshape"_s, u"preferences-system"_s},
        {u"globe"_s, u"preferences-desktop-locale"_s},
        {u"house"_s, u"user-home"_s},
        {u"laptopcomputer"_s, u"computer"_s},
        {u"lock.open"_s, u"changes-allow"_s},
        {u"lock.shield"_s, u"security-high"_s},
        {u"magnifyingglass"_s, u"edit-find"_s},
        {u"network"_s, u"network-idle"_s},
        {u"photo"_s, u"image-x-generic"_s},
        {u"plus"_s, u"list-add"_s},
        {u"rectangle.split.2x1"_s, u"edit-find-replace"_s},
        {u"server.rack"_s, u"network-server"_s},
        {u"slider.horizontal.3"_s, u"preferences-other"_s},
        {u"square.and.pencil"_s, u"accessories-text-editor"_s},
        {u"xmark.circle"_s, u"process-stop"_s},
        {u"xmark.circle.fill"_s, u"edit-clear"_s},
    };
    return symbols;
}

void useFallbackTheme()
{
    // Platforms without a desktop (offscreen, for one) search no system folder at all.
    QStringList folders = QIcon::themeSearchPaths();
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        if (const QString icons = data + u"/icons"_s; !folders.contains(icons))
            folders << icons;
    QIcon::setThemeSearchPaths(folders);
    QIcon::setFallbackThemeName(QString::fromLatin1(fallbackTheme));
    // Without a desktop the platform names no theme, or only the bare "hicolor" base theme.
    const QString current = QIcon::themeName();
    if (current.isEmpty() || current == u"hicolor"_s)
        QIcon::setThemeName(QString::fromLatin1(fallbackTheme));
}

QIcon application()
{
    const QIcon installed = QIcon::fromTheme(u"app.dravik.application"_s);
    return installed.isNull() ? builtInApplication() : installed;
}

QIcon builtInApplication()
{
    QIcon icon;
    for (QDirIterator file(u":/icons"_s, {u"*.png"_s}, QDir::Files, QDirIterator::Subdirectories); file.hasNext();)
        icon.addFile(file.next());
    return icon;
}

QIcon icon(const QString& symbol)
{
    static const QString symbolic = u"-symbolic"_s;
    for (const auto& [name, themed] : table()) {
        if (name != symbol)
            continue;
        if (!themed.endsWith(symbolic))
            return QIcon::fromTheme(themed);
        // Without the SVG renderer the symbolic drawing is missing: the legacy one has the shape.
        QIcon shape = QIcon::fromTheme(themed);
        if (shape.isNull())
            shape = QIcon::fromTheme(themed.chopped(symbolic.size()));
        return shape.isNull() ? shape : QIcon(new SymbolIconEngine(shape));
    }
    return {};
}

} // namespace Icons
