#include "DesktopServices.h"
#include "L10n.h"
#include "ProFTPDServer.h"
#include "QtPrinters.h"
#include "TestApplications.h"

#include <QDBusConnection>
#include <QEventLoop>
#include <QFutureWatcher>
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

// Two applications: "recorder" declares plain text and folders and is their default, "viewer"
// declares PNG images only.
class DesktopServicesTest : public testing::Test {
protected:
    void SetUp() override
    {
        applications.install("recorder", "text/plain;inode/directory;");
        applications.install("viewer", "image/png;");
        applications.setDefault("recorder", {"text/plain", "inode/directory"});
    }

    TestApplications applications;
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
    EXPECT_EQ(applications.recorded("recorder"), text);
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
    EXPECT_EQ(applications.recorded("recorder"), folder.path());

    FileManager manager;
    QDBusConnection other = QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), "fm");
    ASSERT_TRUE(other.registerObject("/org/freedesktop/FileManager1", &manager, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(other.registerService("org.freedesktop.FileManager1"));
    EXPECT_EQ(show(), "(no error)");
    EXPECT_EQ(manager.shown, QStringList{QUrl::fromLocalFile(text).toString(QUrl::FullyEncoded)});
    QDBusConnection::disconnectFromBus("fm");
}

#include "DesktopServicesTest.moc"
