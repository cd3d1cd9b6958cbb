#include "DockTileSession.h"
#include "TestFiles.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

namespace {

const QString companion = QStringLiteral(DRAVIK_BINARY_DIR "/bin/DravikDockTilePlugIn");
const QString sourceData = QStringLiteral(DRAVIK_SOURCE_DIR "/data");
const QString gtkLookup = QStringLiteral(DRAVIK_GTK_LOOKUP);
const QString qtLookup = QStringLiteral(DRAVIK_QT_LOOKUP);
const QString applicationName = QStringLiteral("app.dravik.application");
const QString portalName = QStringLiteral("org.freedesktop.portal.Desktop");

using Icon = DockTileSession::Icon;
using namespace Qt::StringLiterals;

void appearanceChanged(DockTileSession& session)
{
    session.emitSignal("/app/dravik/application", applicationName, "appearanceChanged");
}

// What GTK's and Qt's icon lookups find in the session, on a display of their own: "gtk SIZE"
// gives the file found and the grey at the centre of the icon drawn from it; "qt SIZE" the grey.
QMap<QString, QStringList> lookUp(const DockTileSession& session, const QStringList& sizes)
{
    QProcess lookup;
    lookup.setProcessEnvironment(session.environment());
    lookup.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    lookup.start(u"xvfb-run"_s,
                 QStringList{u"-a"_s, u"-s"_s, u"-nolisten tcp"_s, u"/usr/bin/python3"_s, gtkLookup, qtLookup} + sizes);
    QMap<QString, QStringList> found;
    if (!lookup.waitForFinished(60000) || lookup.exitCode() != 0)
        return found;
    for (const QString& line : QString::fromUtf8(lookup.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(u' ');
        found.insert(fields.mid(0, 2).join(u' '), fields.mid(2));
    }
    return found;
}

// The light icon's tile is pale, the installed one's dark.
std::optional<Icon> shade(const QString& grey)
{
    bool drawn = false;
    const int level = grey.toInt(&drawn);
    if (!drawn || level < 0)
        return std::nullopt;
    return level > 128 ? Icon::light : Icon::dark;
}

} // namespace

TEST(DravikDockTilePlugIn, ShowsTheChosenAppearanceOrTheDesktops)
{
    DockTileSession session(companion, sourceData);
    session.setPreference("light");
    session.bus().registerService(portalName);
    session.portal().colorScheme = 1;
    const timespec longAgo[2] = {{946684800, 0}, {946684800, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(session.themeFolder()), longAgo, 0), 0);
    // A link planted at the icon's name is replaced, not written through.
    const QString planted = session.themeFolder() + "/notes.txt";
    ASSERT_TRUE(QFile::link(ftptest::writeFile(planted, "not an icon\n"), session.iconPath()));
    session.startCompanion();
    ASSERT_EQ(session.changes(2), 2); // the link, then the icon
    EXPECT_TRUE(session.shows(Icon::light));
    EXPECT_FALSE(QFileInfo(session.iconPath()).isSymLink());
    EXPECT_EQ(ftptest::contentOf(planted), "not an icon\n");
    EXPECT_GT(QFileInfo(session.themeFolder()).lastModified().date().year(), 2000) << "theme folder not touched";

    // Key points of the drawing, whose origin is at the bottom left, seen from the top left.
    const QRgb clear = qRgba(0, 0, 0, 0), fill = qRgb(247, 247, 247), edge = qRgb(209, 209, 209),
               blue = qRgb(0, 135, 245);
    const struct {
        int x, y;
        QRgb colour;
    } points[] = {{10, 10, clear},  {45, 45, clear},  {256, 38, edge},  {256, 60, fill},  {256, 192, blue},
                  {315, 130, blue}, {256, 320, blue}, {197, 382, blue}, {315, 382, fill}, {197, 130, fill}};
    const QImage light = DockTileSession::pixels(session.icon());
    for (const auto& point : points)
        EXPECT_EQ(light.pixel(point.x, point.y), point.colour) << point.x << "," << point.y;

    const struct {
        const char* stored; // nullptr: no preference stored
        int colorScheme;    // -1: no portal
        bool hasReadOne;
        bool settingSignal; // the portal's signal rather than the application's
        Icon icon;
    } rows[] = {
        {"dark", 0, true, false, Icon::dark},    {"light", 1, true, false, Icon::light},
        {"system", 1, true, false, Icon::dark},  {"system", 2, true, false, Icon::light},
        {"system", 1, false, false, Icon::dark}, {"system", -1, true, false, Icon::light},
        {nullptr, 1, true, false, Icon::dark},   {"Dark", 0, true, false, Icon::light},
        {"bogus", 1, true, false, Icon::dark},   {"system", 0, true, true, Icon::light},
        {"system", 1, true, true, Icon::dark},
    };
    for (const auto& row : rows) {
        session.setPreference(QString::fromLatin1(row.stored));
        session.portal().colorScheme = static_cast<uint>(row.colorScheme);
        session.portal().hasReadOne = row.hasReadOne;
        if (row.colorScheme < 0)
            session.bus().unregisterService(portalName);
        else
            session.bus().registerService(portalName);
        if (row.settingSignal)
            session.settingChanged("color-scheme", row.colorScheme);
        else
            appearanceChanged(session);
        const QString name = QStringLiteral("%1, portal %2").arg(row.stored).arg(row.colorScheme);
        EXPECT_EQ(session.changes(1), 1) << qPrintable(name);
        EXPECT_TRUE(session.shows(row.icon)) << qPrintable(name);
    }
}

// Reloaded twice first: a second setup must not observe anything twice.
TEST(DravikDockTilePlugIn, RefreshesOnceOnEachOfItsTriggersAndOnNothingElse)
{
    DockTileSession session(companion, sourceData);
    session.setPreference("light");
    session.bus().registerService(portalName);
    session.startCompanion();
    ASSERT_EQ(session.changes(1), 1);
    Icon icon = Icon::light;
    const auto change = [&session, &icon] {
        icon = icon == Icon::light ? Icon::dark : Icon::light;
        session.setPreference(icon == Icon::dark ? "dark" : "light");
    };
    for (int reload = 0; reload < 2; ++reload) {
        change();
        session.reloadCompanion();
        ASSERT_EQ(session.changes(1), 1);
    }

    const struct {
        const char* name;
        std::function<void(DockTileSession&)> trigger;
        int refreshes;
    } rows[] = {
        {"another program ends",
         [](DockTileSession& s) {
             s.bus().registerService("org.example.Other");
             s.bus().unregisterService("org.example.Other");
         },
         0},
        {"the application starts", [](DockTileSession& s) { s.bus().registerService(applicationName); }, 0},
        {"the application ends", [](DockTileSession& s) { s.bus().unregisterService(applicationName); }, 1},
        {"another desktop setting changes", [](DockTileSession& s) { s.settingChanged("accent-color", 1); }, 0},
        {"the desktop's colour scheme changes", [](DockTileSession& s) { s.settingChanged("color-scheme", 1); }, 1},
        {"the application's signal", appearanceChanged, 1},
    };
    for (const auto& row : rows) {
        change();
        row.trigger(session);
        EXPECT_EQ(session.changes(row.refreshes), row.refreshes) << row.name;
        if (row.refreshes == 0) {
            appearanceChanged(session);
            EXPECT_EQ(session.changes(1), 1) << row.name;
        }
        EXPECT_TRUE(session.shows(icon)) << row.name;
    }

    // A burst of signals is one look at the desktop, and a look that finds the icon as shown
    // writes nothing.
    session.setPreference("system");
    const uint shownScheme = icon == Icon::dark ? 1 : 0;
    const struct {
        uint colorScheme;
        int changes;
    } bursts[] = {{shownScheme, 0}, {1 - shownScheme, 1}};
    for (const auto& burst : bursts) {
        session.portal().colorScheme = burst.colorScheme;
        session.portal().reads = 0;
        for (int signal = 0; signal < 300; ++signal)
            appearanceChanged(session);
        EXPECT_EQ(session.changes(burst.changes), burst.changes);
        EXPECT_LE(session.portal().reads, 5);
    }
    EXPECT_TRUE(session.shows(icon == Icon::dark ? Icon::light : Icon::dark));
}

TEST(DravikDockTilePlugIn, InstallsBesideTheProgramsWithItsAutostartEntryAndOutranksTheInstalledIconAtEverySize)
{
    TemporaryFolder root;
    QProcess install;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DESTDIR", root.path());
    install.setProcessEnvironment(environment);
    install.start(DRAVIK_CMAKE, {"--install", DRAVIK_BINARY_DIR});
    ASSERT_TRUE(install.waitForFinished(60000) && install.exitCode() == 0) << install.readAllStandardError().data();

    QDirIterator entries(root.path(), {"app.dravik.application.DockTile.desktop"}, QDir::Files,
                         QDirIterator::Subdirectories);
    ASSERT_TRUE(entries.hasNext());
    QFile entry(entries.next());
    ASSERT_TRUE(entry.fileName().endsWith("/xdg/autostart/app.dravik.application.DockTile.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString exec = QString::fromUtf8(entry.readAll()).section("\nExec=", 1).section('\n', 0, 0);
    ASSERT_TRUE(exec.endsWith("/libexec/dravik/DravikDockTilePlugIn")) << qPrintable(exec);
    const QString installed = root.path() + exec;
    ASSERT_TRUE(QFileInfo(installed).isExecutable()) << qPrintable(installed);

    // The programs live in libexec/dravik beside their helper and are reached from bin by links
    // that hold wherever the tree is installed; the helper, started only by ssh, stays off the PATH.
    const QString prefix = installed.chopped(QStringLiteral("libexec/dravik/DravikDockTilePlugIn").size());
    for (const char* program : {"dravik", "dravik-cli"}) {
        const QFileInfo link(prefix + "bin/" + program), target(prefix + "libexec/dravik/" + program);
        EXPECT_TRUE(link.isSymLink() && target.isExecutable() && link.canonicalFilePath() == target.canonicalFilePath())
            << program;
    }
    EXPECT_TRUE(QFileInfo(prefix + "libexec/dravik/AskRelay").isExecutable());
    EXPECT_FALSE(QFileInfo::exists(prefix + "bin/AskRelay"));
    EXPECT_TRUE(QFileInfo::exists(prefix + "share/applications/app.dravik.application.desktop"));

    // The hicolor theme's index comes with the system. The user's theme holds another program's
    // icon, and a cache of it.
    DockTileSession session(installed, prefix + u"share:/usr/share"_s);
    const QString other = session.themeFolder() + u"/48x48/apps/org.example.Other.png"_s;
    ASSERT_TRUE(QDir().mkpath(QFileInfo(other).path()) &&
                QFile::copy(sourceData + u"/icons/hicolor/48x48/apps/app.dravik.application.png"_s, other));
    ASSERT_EQ(QProcess::execute(u"gtk-update-icon-cache"_s, {u"-f"_s, u"-t"_s, u"-q"_s, session.themeFolder()}), 0);
    const QString cache = session.themeFolder() + u"/icon-theme.cache"_s;
    const QStringList sizes{u"16"_s, u"22"_s, u"24"_s,  u"32"_s,  u"40"_s, u"48"_s,
                            u"64"_s, u"96"_s, u"128"_s, u"256"_s, u"512"_s};
    const struct {
        const char* stored;
        Icon icon;
    } switches[] = {{"light", Icon::light}, {"dark", Icon::dark}, {"light", Icon::light}};
    for (const auto& to : switches) {
        session.setPreference(QString::fromLatin1(to.stored));
        if (&to == &switches[0])
            session.startCompanion();
        else
            appearanceChanged(session);
        EXPECT_EQ(session.changes(1), 1) << to.stored;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return QFileInfo(cache).lastModified() >= QFileInfo(session.themeFolder()).lastModified();
        })) << "the cache was not rebuilt, and lookup ignores a stale one: "
            << to.stored;

        const QMap<QString, QStringList> found = lookUp(session, sizes);
        const QString folder = to.icon == Icon::light ? session.themeFolder() : prefix + u"share/icons/hicolor"_s;
        for (const QString& size : sizes) {
            const QStringList gtk = found.value(u"gtk "_s + size), qt = found.value(u"qt "_s + size);
            EXPECT_TRUE(gtk.value(0).startsWith(folder + u'/'))
                << to.stored << " " << qPrintable(size) << " GTK found " << qPrintable(gtk.value(0));
            EXPECT_EQ(shade(gtk.value(1)), to.icon) << to.stored << " " << qPrintable(size) << " as GTK draws it";
            EXPECT_EQ(shade(qt.value(1)), to.icon) << to.stored << " " << qPrintable(size) << " as Qt draws it";
        }
    }
    EXPECT_TRUE(QFileInfo::exists(other));
}

TEST(ApplicationIcon, ItsPNGsAreRenderedFromItsSVG)
{
    TemporaryFolder rendered;
    ASSERT_EQ(QProcess::execute(sourceData + "/icons/render-icons", {rendered.path()}), 0);
    int compared = 0;
    for (QDirIterator png(sourceData + "/icons/hicolor", {"*.png"}, QDir::Files, QDirIterator::Subdirectories);
         png.hasNext(); ++compared) {
        const QString path = png.next();
        EXPECT_EQ(DockTileSession::pixels(QImage(path)),
                  DockTileSession::pixels(QImage(rendered.path() + path.mid(path.indexOf("/hicolor/") + 8))))
            << qPrintable(path);
    }
    EXPECT_EQ(compared, 9);
}
