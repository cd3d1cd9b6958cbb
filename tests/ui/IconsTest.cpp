#include "Icons.h"
#include "TemporaryFolder.h"

#include <gtest/gtest.h>

namespace {

QStringList missingIcons()
{
    QStringList missing;
    for (const auto& [symbol, name] : Icons::table())
        if (Icons::icon(symbol).pixmap(16).isNull())
            missing << symbol + " (" + name + ")";
    return missing;
}

} // namespace

// No desktop here: every icon comes from the theme the program depends on.
TEST(Icons, EverySymbolShowsAnIconWithoutADesktopTheme)
{
    EXPECT_GT(Icons::table().size(), 30);
    EXPECT_EQ(missingIcons(), QStringList());
    EXPECT_TRUE(Icons::icon("no.such.symbol").isNull());
}

TEST(Icons, ADesktopThemeThatLacksANameFallsBack)
{
    TemporaryFolder themes;
    themes.write("Sparse/index.theme", "[Icon Theme]\nName=Sparse\nInherits=hicolor\nDirectories=\n");
    QIcon::setThemeSearchPaths(QIcon::themeSearchPaths() << themes.path());
    QIcon::setThemeName("Sparse");
    EXPECT_EQ(missingIcons(), QStringList());
}
