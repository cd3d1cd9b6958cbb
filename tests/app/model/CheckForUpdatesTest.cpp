#include "HTTPSServer.h"
#include "L10n.h"
#include "ModelTest.h"
#include "TestApplications.h"
#include "UpdateCheck.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeDatabase>
#include <QSignalSpy>

namespace {

// The update check through the model against an HTTPS server of the test's own, with the Downloads
// folder named in the test's configuration and an application that records the package it is asked
// to open.
class CheckForUpdatesTest : public ModelTest {
protected:
    void SetUp() override
    {
        ftptest::useDownloadsFolder(downloads.path());
        qputenv("DRAVIK_UPDATE_SERVER", https.address().toUtf8());
        https.put("/downloads/Dravik-FTP-9.9.9.pkg", package);
        applications.install("installer", "");
        // Whatever type the desktop gives the package.
        const QString byName = QMimeDatabase().mimeTypeForFile("a.pkg", QMimeDatabase::MatchExtension).name();
        applications.setDefault("installer", {byName, "application/octet-stream", "text/plain"});
    }
    void publish(qint64 build) const
    {
        const QJsonObject feed{
            {"version", "9.9.9"},
            {"build", build},
            {"url", https.url("/downloads/Dravik-FTP-9.9.9.pkg")},
            {"sha256", QString(QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex())},
            {"bytes", package.size()},
            {"notes", QJsonObject{{"en", QJsonArray{"Faster"}}}}};
        https.put("/updates.json", QJsonDocument(feed).toJson());
    }
    // The files in the update folders of the Downloads.
    QStringList downloaded() const
    {
        QStringList files;
        for (const QFileInfo& folder : QDir(downloads.path()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
            files += QDir(folder.filePath()).entryList(QDir::Files | QDir::Hidden);
        return files;
    }

    const QByteArray package = QByteArray("package ").repeated(30000);
    TemporaryFolder downloads;
    HTTPSServer https;
    TestApplications applications;
};

} // namespace

TEST_F(CheckForUpdatesTest, EachStepAsksFirstAndThePackageIsOpenedOnlyWithNoTransferPending)
{
    server.put("/slow/big.bin", QByteArray(4 << 20, 'b'));
    start();
    QSignalSpy quits(model.get(), &AppModel::quitRequested);
    const QString available = "alert: " + L("update_available", "9.9.9");
    const QString ready = "alert: " + L("update_ready", "9.9.9");
    const QStringList packageFile{"Dravik-FTP-9.9.9.pkg"};
    const qint64 newer = UpdateCheck::runningBuild() + 1;
    const struct {
        const char* name;
        qint64 build;
        QList<int> answers;
        bool transferPending;
        QStringList asked;
        QString error;
        QStringList downloaded;
        bool installed;
    } cases[] = {
        {"the same build", newer - 1, {0}, false, {"alert: " + L("update_current")}, "", {}, false},
        {"not downloaded", newer, {0}, false, {available}, "", {}, false},
        {"not installed", newer, {1, 0}, false, {available, ready}, "", packageFile, false},
        {"installed", newer, {1, 1}, false, {available, ready}, "", packageFile, true},
        {"a transfer pending", newer, {1, 1}, true, {available, ready}, L("wait_transfers"), packageFile, false},
    };
    for (const auto& step : cases) {
        SCOPED_TRACE(step.name);
        publish(step.build);
        QDir(downloads.path()).removeRecursively();
        QDir().mkpath(downloads.path());
        if (step.transferPending) {
            connectAt("/slow");
            select(false, {"big.bin"});
            model->enqueue(false);
            ASSERT_TRUE(eventually([&] { return model->pendingCount() > 0 && !model->planning(); }));
        }
        prompter.asked.clear();
        prompter.alerts.clear();
        prompter.alertAnswers = step.answers;
        model->checkForUpdates();
        EXPECT_TRUE(model->checkingUpdates());
        ASSERT_TRUE(eventually([&] { return !model->checkingUpdates(); }));
        EXPECT_EQ(prompter.asked, step.asked);
        if (step.asked.contains(available)) {
            EXPECT_EQ(prompter.alerts.first().informativeText, "Faster\n\n" + L("update_unsigned"));
        }
        EXPECT_EQ(model->errorMessage(), step.error);
        EXPECT_EQ(downloaded(), step.downloaded);
        EXPECT_EQ(quits.size(), step.installed ? 1 : 0);
        if (step.installed) {
            EXPECT_EQ(contentOf(applications.recorded("installer")), package);
        }
        quits.clear();
    }
    EXPECT_FALSE(applications.launched("installer"));
    EXPECT_EQ(activity().last(), L("wait_transfers"));
    model->cancelAll();
}
