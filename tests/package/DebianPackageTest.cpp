#include "CliTestRun.h"
#include "QtPrinters.h"
#include "SSHServer.h"
#include "TemporaryFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {

// The package cpack makes of this build tree, in a folder of the test's own, unpacked as dpkg lays
// it out on a user's system.
class DebianPackage : public testing::Test {
protected:
    void SetUp() override
    {
        const CliTestRun packaging =
            CliTestRun::run({"-G", "DEB", "--config", DRAVIK_BINARY_DIR "/CPackConfig.cmake", "-B", work.file("out")},
                            {}, DRAVIK_CPACK);
        ASSERT_EQ(packaging.exitStatus, 0) << packaging.output.data() << packaging.error.data();
        const QStringList built = QDir(work.file("out")).entryList({"*.deb"});
        ASSERT_EQ(built.size(), 1) << qPrintable(built.join(' '));
        package = work.file("out/" + built.first());
        ASSERT_EQ(dpkgDeb({"-x", package, root()}).exitStatus, 0);
    }

    static CliTestRun dpkgDeb(const QStringList& arguments)
    {
        return CliTestRun::run(arguments, {}, QStringLiteral("/usr/bin/dpkg-deb"));
    }
    QString root(const QString& path = {}) const { return work.file("root") + path; }

    TemporaryFolder work;
    QString package;
};

// The package names a control field lists, alternatives included, versions left out.
QStringList packageNames(const QByteArray& field)
{
    QStringList names;
    for (const QByteArray& choice : field.split(','))
        for (const QByteArray& alternative : choice.split('|'))
            names.append(QString::fromUtf8(alternative.trimmed().split(' ').first()));
    return names;
}

QString desktopEntryValue(const QString& file, const QString& key)
{
    QFile entry(file);
    if (!entry.open(QIODevice::ReadOnly))
        return QStringLiteral("(missing)");
    return QString::fromUtf8(entry.readAll()).section('\n' + key + '=', 1).section('\n', 0, 0);
}

} // namespace

TEST_F(DebianPackage, DeclaresWhatItRunsAndPutsEverythingWhereTheDesktopLooks)
{
    const QStringList depends = packageNames(dpkgDeb({"-f", package, "Depends"}).output);
    for (const char* needed : {"curl", "openssh-client", "adwaita-icon-theme", "qt6-qpa-plugins", "libqt6core6",
                               "libqt6gui6", "libqt6widgets6", "libqt6dbus6", "libqt6network6", "libqt6keychain1"})
        EXPECT_TRUE(depends.contains(QLatin1String(needed)))
            << needed << " missing from " << qPrintable(depends.join(' '));
    EXPECT_EQ(dpkgDeb({"-f", package, "Package"}).output, "dravik\n");

    // Nothing of the build machine's paths leaks into the package.
    EXPECT_EQ(QDir(root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList({"etc", "usr"}));

    // The menu's entry starts the program from the PATH, the session's autostart the companion by its
    // full path; both show the icon from the hicolor theme.
    for (const QString& entry : {root("/usr/share/applications/app.dravik.application.desktop"),
                                 root("/etc/xdg/autostart/app.dravik.application.DockTile.desktop")}) {
        const CliTestRun validation = CliTestRun::run({entry}, {}, QStringLiteral("/usr/bin/desktop-file-validate"));
        EXPECT_EQ(validation.exitStatus, 0) << validation.output.data();
        // The program, before the field codes such as %u.
        const QString exec = desktopEntryValue(entry, "Exec").section(' ', 0, 0);
        EXPECT_TRUE(QFileInfo(root(exec.startsWith('/') ? exec : "/usr/bin/" + exec)).isExecutable())
            << qPrintable(exec);
        const QString icon = desktopEntryValue(entry, "Icon");
        EXPECT_TRUE(QFileInfo::exists(root("/usr/share/icons/hicolor/scalable/apps/") + icon + ".svg"))
            << qPrintable(icon);
    }
    // What Debian's archive checks of every package, and what a software centre reads of the
    // installed tree: the metadata, the desktop entry it names, the icon.
    const CliTestRun lintian = CliTestRun::run({"--fail-on", "error", package}, {}, QStringLiteral("/usr/bin/lintian"));
    EXPECT_EQ(lintian.exitStatus, 0) << lintian.output.data() << lintian.error.data();
    const CliTestRun appstream =
        CliTestRun::run({"validate-tree", "--no-net", root("/usr")}, {}, QStringLiteral("/usr/bin/appstreamcli"));
    EXPECT_EQ(appstream.exitStatus, 0) << appstream.output.data();
    EXPECT_FALSE(appstream.output.contains("W: ")) << appstream.output.data();

    // dpkg refuses a package whose configuration files are not in it.
    const QByteArray conffiles = dpkgDeb({"-I", package, "conffiles"}).output;
    EXPECT_EQ(conffiles, "/etc/xdg/autostart/app.dravik.application.DockTile.desktop\n");
}

TEST_F(DebianPackage, TheUnpackedProgramListsAnSFTPFolderThroughTheUnpackedAskRelay)
{
    REQUIRE_ACCOUNTS();
    const SSHServer server;
    server.put("packaged.txt", "bytes");
    const QString profile = work.write("profile.json", QJsonDocument(server.profile().toJson()).toJson());
    const auto list = [&] {
        return CliTestRun::run({"--profile", profile, "--password-stdin", "list", "--json", server.home()},
                               server.password().toUtf8() + '\n', root("/usr/bin/dravik-cli"));
    };

    const CliTestRun listing = list();
    EXPECT_EQ(listing.exitStatus, 0) << listing.error.data();
    EXPECT_TRUE(listing.output.contains("\"name\":\"packaged.txt\"")) << listing.output.data();

    // Without the unpacked helper ssh gets no password: no other AskRelay stood in for it.
    const QString askRelay = root("/usr/libexec/dravik/AskRelay");
    ASSERT_TRUE(QFile::remove(askRelay));
    EXPECT_EQ(list().exitStatus, 1);
}
