#pragma once

#include <QIcon>
#include <QList>
#include <QString>
#include <utility>

// The interface names its icons by symbol ("server.rack", "lock.shield"); on Linux each symbol is
// one freedesktop icon name from the user's theme, with a theme the program depends on as the
// fallback, so that a desktop without an icon theme still shows every icon.
namespace Icons {

inline constexpr const char* fallbackTheme = "Adwaita";

// Makes the fallback theme the one consulted for names the desktop's theme lacks, and the theme
// itself where the desktop has none. Call once, after the application object exists.
void useFallbackTheme();

// The icon of a symbol; a symbol the table does not know gives a null icon.
QIcon icon(const QString& symbol);
// The program's own icon: the installed one of the desktop's theme, else the copy built in.
QIcon application();
// The copy built into the program, in every size it comes in. The icon in the user's theme may be
// the light variant the icon companion put there.
QIcon builtInApplication();
// Every symbol with its freedesktop name.
const QList<std::pair<QString, QString>>& table();

} // namespace Icons
