#include "DesktopServices.h"
#include "FTPError.h"
#include "L10n.h"
#include "PrivateKeyring.h"
#include "ProFTPDServer.h"
#include "QtPrinters.h"
#include "TemporaryFolder.h"

#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFutureWatcher>
#include <QStandardPaths>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Stands in for a file manager on the test's bus: no real one runs here.
class FileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shown;

public Q_SLOTS:
    void ShowItems(const QStringList& uris, const QString&) { shown += uris; }
};

// Two applications installed for this test's user only, each a script that writes down the file
// it was given: "recorder" declares plain text and folders and is their default, "viewer" declares
// PNG images only. No GIO call may come before this: GIO reads the folders once.
class DesktopServicesTest : public testing::Test {
protected:
    void SetUp() override
    {
        // GIO announces every launch on the session bus: keep it off the user's.
        keyring = std::make_unique<PrivateKeyring>(PrivateKeyring::Secrets::none);
        const QString script =
            folder.write("record", "#!/bin/sh\nprintf '%s' \"$2\" > \"" + folder.path().toUtf8() + "/$1.out\"\n");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString applications =
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/applications/";
        for (const auto& [name, types] :
             {std::pair{"recorder", "text/plain;inode/directory;"}, std::pair{"viewer", "image/png;"}}) {
            QDir().mkpath(applications);
            QFile entry(applications + "dravik-" + name + ".desktop");
            ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
            entry.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=Dravik %1\nIcon=text-x-generic\n"
                                       "Exec=%2 %1 %f\nMimeType=%3\n")
                            .arg(name, script, types)
                            .toUtf8());
        }
        const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        QDir().mkpath(config);
        QFile defaults(config + "/mimeapps.list");
        ASSERT_TRUE(defaults.open(QIODevice::WriteOnly));
        defaults.write("[Default Applications]\ntext/plain=dravik-recorder.desktop\n"
                       "inode/directory=dravik-recorder.desktop\n");
    }

    // What the application wrote down, once it has.
    QString recorded(const QString& name) const
    {
        QElapsedTimer timer;
        timer.start();
        QFile file(folder.file(name + ".out"));
        while (!file.exists() && timer.elapsed() < 20000) {
            QEventLoop loop;
            QTimer::singleShot(20, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QStringLiteral("(nothing)");
    }

    // Waits for the future and gives the sentence of its failure, if any.
    static QString outcome(QFuture<void> future)
    {
        QFutureWatcher<void> watcher;
        QEventLoop loop;
        QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
        watcher.setFuture(future);
        if (!future.isFinished())
            loop.exec();
        return ftptest::failureText([&] { future.waitForFinished(); });
    }

    std::unique_ptr<PrivateKeyring> keyring;
    TemporaryFolder folder;
    const QString text = folder.write("notes 1.txt", "plain text\n");
};

} // namespace

TEST_F(DesktopServicesTest, ApplicationsForTheFileTypeComeFirstAndOpenTheFile)
{
    const QList<DesktopApplication> applications = DesktopServices::applicationsFor(text);
    ASSERT_FALSE(applications.isEmpty());
    EXPECT_EQ(applications.first(),
              (DesktopApplication{"dravik-recorder.desktop", "Dravik recorder", "text-x-generic", true}));
    const auto viewer = std::find_if(applications.begin(), applications.end(),
                                     [](const DesktopApplication& a) { return a.id == "dravik-viewer.desktop"; });
    ASSERT_NE(viewer, applications.end());
    EXPECT_FALSE(viewer->handlesType);
    EXPECT_TRUE(std::is_partitioned(applications.begin(), applications.end(),
                                    [](const DesktopApplication& a) { return a.handlesType; }));

    DesktopServices::launch("dravik-recorder.desktop", text);
    EXPECT_EQ(recorded("recorder"), text);
    EXPECT_EQ(ftptest::failureText([&] { DesktopServices::launch("dravik-missing.desktop", text); }),
              L("application_unavailable"));
}

TEST_F(DesktopServicesTest, TheFileManagerOnTheBusShowsTheItem)
{
    FileManager manager;
    QDBusConnection other =
        QDBusConnection::connectToBus(QString::fromUtf8(qgetenv("DBUS_SESSION_BUS_ADDRESS")), "manager");
    ASSERT_TRUE(other.registerObject("/org/freedesktop/FileManager1", &manager, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(other.registerService("org.freedesktop.FileManager1"));
    EXPECT_EQ(outcome(DesktopServices::showInFileManager(text)), "(no error)");
    EXPECT_EQ(manager.shown, QStringList{QUrl::fromLocalFile(text).toString(QUrl::FullyEncoded)});
    QDBusConnection::disconnectFromBus("manager");
}

TEST_F(DesktopServicesTest, WithoutAFileManagerTheFolderOpens)
{
    EXPECT_EQ(outcome(DesktopServices::showInFileManager(text)), "(no error)");
    EXPECT_EQ(recorded("recorder"), folder.path());
}

#include "DesktopServicesTest.moc"
