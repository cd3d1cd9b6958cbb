#include "DesktopServices.h"
#include "L10n.h"
#include "PrivateSessionBus.h"
#include "ProFTPDServer.h"
#include "QtPrinters.h"

#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
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

void runEvents(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Two applications installed for this test's user only, each a script that writes down the file
// it was given: "recorder" declares plain text and folders and is their default, "viewer" declares
// PNG images only. GIO reads the folders once, at its first call, which must come after this.
class DesktopServicesTest : public testing::Test {
protected:
    void SetUp() override
    {
        // GIO announces every launch on the session bus, and the file manager is asked there.
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address());
        const QString script =
            folder.write("record", "#!/bin/sh\nprintf '%s' \"$2\" > \"" + folder.path().toUtf8() + "/$1.out\"\n");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner);
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        for (const auto& [name, types] :
             {std::pair{"recorder", "text/plain;inode/directory;"}, {"viewer", "image/png;"}})
            write(data + "/applications/dravik-" + name + ".desktop",
                  QStringLiteral("[Desktop Entry]\nType=Application\nName=Dravik %1\nIcon=text-x-generic\n"
                                 "Exec=%2 %1 %f\nMimeType=%3\n")
                      .arg(name, script, types));
        write(config + "/mimeapps.list", "[Default Applications]\ntext/plain=dravik-recorder.desktop\n"
                                         "inode/directory=dravik-recorder.desktop\n");
    }
    static void write(const QString& path, const QString& text)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }

    // What the recorder wrote down, once it has; the next call waits for the next launch.
    QString recorded()
    {
        QFile file(folder.file("recorder.out"));
        QElapsedTimer timer;
        for (timer.start(); !file.exists() && timer.elapsed() < 20000;)
            runEvents(20);
        const QString text = ftptest::contentOf(file.fileName());
        file.remove();
        return text;
    }

    PrivateSessionBus bus;
    TemporaryFolder folder;
    const QString text = folder.write("notes 1.txt", "plain text\n");
};

} // namespace

TEST_F(DesktopServicesTest, ApplicationsForTheFileTypeComeFirstAndOpenTheFile)
{
    QStringList listed;
    for (const DesktopApplication& application : DesktopServices::applicationsFor(text))
        listed.append(application.id + (application.handlesType ? " for the type" : ""));
    ASSERT_FALSE(listed.isEmpty());
    EXPECT_TRUE(std::is_partitioned(listed.begin(), listed.end(), [](const QString& a) { return a.endsWith("type"); }));
    EXPECT_TRUE(listed.contains("dravik-viewer.desktop")) << listed.join(", ").toStdString();
    EXPECT_EQ(DesktopServices::applicationsFor(text).first(),
              (DesktopApplication{"dravik-recorder.desktop", "Dravik recorder", "text-x-generic", true}));

    DesktopServices::launch("dravik-recorder.desktop", text);
    EXPECT_EQ(recorded(), text);
    EXPECT_EQ(ftptest::failureText([&] { DesktopServices::launch("dravik-missing.desktop", text); }),
              L("application_unavailable"));
}

TEST_F(DesktopServicesTest, TheFileManagerShowsTheItemOrElseItsFolderOpens)
{
    const auto show = [&] {
        QFutureWatcher<void> watcher;
        QEventLoop loop;
        QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
        watcher.setFuture(DesktopServices::showInFileManager(text));
        if (!watcher.isFinished())
            loop.exec();
        return ftptest::failureText([&] { watcher.future().waitForFinished(); });
    };
    EXPECT_EQ(show(), "(no error)");
    EXPECT_EQ(recorded(), folder.path());

    FileManager manager;
    QDBusConnection other = QDBusConnection::connectToBus(QString::fromUtf8(bus.address()), "fm");
    ASSERT_TRUE(other.registerObject("/org/freedesktop/FileManager1", &manager, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(other.registerService("org.freedesktop.FileManager1"));
    EXPECT_EQ(show(), "(no error)");
    EXPECT_EQ(manager.shown, QStringList{QUrl::fromLocalFile(text).toString(QUrl::FullyEncoded)});
    QDBusConnection::disconnectFromBus("fm");
}

#include "DesktopServicesTest.moc"
