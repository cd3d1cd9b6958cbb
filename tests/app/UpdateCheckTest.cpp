#include "UpdateCheck.h"
#include "HTTPSServer.h"
#include "L10n.h"
#include "QtPrinters.h"
#include "TestFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>

using ftptest::contentOf;

namespace {

// The Downloads folder comes from the user-dirs file of the test's own configuration; the
// package is more than one block of the download, and not a whole number of them.
class UpdateCheckTest : public testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(downloads);
        ftptest::useDownloadsFolder(downloads);
        qputenv("DRAVIK_UPDATE_SERVER", server.address().toUtf8());
        server.put(packagePath, package);
    }

    QJsonObject feed(const QString& key = {}, const QJsonValue& value = {}) const
    {
        QJsonObject feed{
            {"version", "9.9.9"},
            {"build", 42},
            {"url", server.url(packagePath)},
            {"sha256", QString(QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex().toUpper())},
            {"bytes", package.size()},
            {"notes", QJsonObject{{"en", QJsonArray{"Faster", "Smaller"}}, {"de", QJsonArray{"Schneller"}}}}};
        if (!key.isEmpty())
            feed.insert(key, value);
        return feed;
    }

    // Runs the event loop until the step ends: "(ok)" with its result, or what ended it.
    template <typename T> QString outcome(const QFuture<T>& future, T* result = nullptr)
    {
        QFutureWatcher<T> watcher;
        QEventLoop loop;
        QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        watcher.setFuture(future);
        if (!future.isFinished())
            loop.exec();
        if (!future.isFinished())
            return "(still running)";
        const QString failure = ftptest::failureText([&] {
            const T value = future.result();
            if (result)
                *result = value;
        });
        return failure == "(no error)" ? QStringLiteral("(ok)") : failure;
    }
    QString fetch(const QByteArray& document, UpdateRelease* release = nullptr)
    {
        server.put("/updates.json", document);
        return outcome(check.fetchRelease(), release);
    }
    QString fetch(const QJsonObject& document, UpdateRelease* release = nullptr)
    {
        return fetch(QJsonDocument(document).toJson(), release);
    }
    QStringList inDownloads() const { return QDir(downloads).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }

    const QByteArray package = QByteArray("0123456789").repeated(20000) + "tail";
    const QString packagePath = "/downloads/Dravik-FTP-9.9.9.pkg";
    TemporaryFolder home;
    const QString downloads = home.file("Downloads");
    HTTPSServer server;
    UpdateCheck check;
};

} // namespace

TEST_F(UpdateCheckTest, EveryFaultOfTheFeedIsRefusedAsInvalid)
{
    const QByteArray good = QJsonDocument(feed()).toJson();
    const auto version = [&](const QString& number) {
        QJsonObject changed = feed("version", number);
        changed.insert("url", server.url("/downloads/Dravik-FTP-" + number + ".pkg"));
        return changed;
    };
    const auto url = [&](const QString& from, const QString& to) {
        return feed("url", server.url(packagePath).replace(from, to));
    };
    const std::pair<QJsonObject, bool> cases[] = {
        {version("10.200.30000000000"), true},
        {version("9.9"), false},
        {version("v9.9.9"), false},
        {version("9.9.9\n"), false},
        {feed("build", 0), false},
        {feed("build", 1.5), false},
        {url("/Dravik", "/x/Dravik"), false},
        {url("Dravik-FTP", "Dravik"), false},
        {url("/Dravik", "%2FDravik"), false},
        {url("https://", "https://user@"), false},
        {url("https://", "http://"), false},
        {url("127.0.0.1", "localhost"), false},
        {url(server.address(), "127.0.0.1:1"), false},
        {feed("sha256", QString(63, 'a')), false},
        {feed("sha256", QString(64, 'g')), false},
        {feed("bytes", 0), false},
        {feed("bytes", 26214399), true},
        {feed("bytes", 26214400), false},
        {feed("notes", QJsonObject{{"en", "Faster"}}), false},
        {feed("notes", QJsonValue()), false},
    };
    for (const auto& [document, valid] : cases)
        EXPECT_EQ(fetch(document), valid ? "(ok)" : L("update_invalid")) << QJsonDocument(document).toJson().data();
    EXPECT_EQ(fetch(good + QByteArray(262144 - good.size(), ' ')), "(ok)");
    EXPECT_EQ(fetch(good + QByteArray(262145 - good.size(), ' ')), L("update_invalid"));
    EXPECT_EQ(fetch(QByteArray("[]")), L("update_invalid"));
}

TEST_F(UpdateCheckTest, FeedsComeOnlyFromTheVerifiedUpdateServerOverHTTPS)
{
    server.put("/moved.json", QJsonDocument(feed()).toJson());
    const HTTPSServer otherPort;
    otherPort.put("/moved.json", QJsonDocument(feed()).toJson());
    const std::pair<QString, QString> cases[] = {
        {server.url("/moved.json"), "(ok)"},
        {server.url("/moved.json").replace("127.0.0.1", "localhost"), L("update_unavailable")},
        {otherPort.url("/moved.json"), L("update_unavailable")},
        {server.url("/moved.json").replace("https", "http"), L("update_unavailable")},
        {server.url("/missing.json"), L("update_unavailable")},
    };
    for (const auto& [location, expected] : cases) {
        server.redirect("/updates.json", location);
        EXPECT_EQ(outcome(check.fetchRelease()), expected) << location.toStdString();
    }
    HTTPSServer untrusted(true);
    qputenv("DRAVIK_UPDATE_SERVER", untrusted.address().toUtf8());
    untrusted.put("/updates.json", QJsonDocument(feed()).toJson());
    // The failures of the connection name the update server.
    EXPECT_EQ(outcome(check.fetchRelease()), L("update_certificate", "127.0.0.1"));
    qputenv("DRAVIK_UPDATE_SERVER", "127.0.0.1:1");
    EXPECT_EQ(outcome(check.fetchRelease()), L("update_connect_failed", "127.0.0.1"));
}

TEST_F(UpdateCheckTest, OnlyAVerifiedPackageIsInstalledAndEveryOtherEndingRemovesThePartialFile)
{
    UpdateRelease release;
    ASSERT_EQ(fetch(feed(), &release), "(ok)");
    EXPECT_EQ(release.notesText("fr"), "Faster\nSmaller\n\n" + L("update_unsigned"));
    EXPECT_EQ(release.notesText("de"), "Schneller\n\n" + L("update_unsigned"));
    QString installed;
    ASSERT_EQ(outcome(check.downloadPackage(release), &installed), "(ok)");
    ASSERT_EQ(inDownloads().size(), 1);
    const QString folder = inDownloads().first();
    EXPECT_TRUE(
        QRegularExpression("^Dravik FTP Update [0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$").match(folder).hasMatch());
    EXPECT_EQ(installed, downloads + "/" + folder + "/Dravik-FTP-9.9.9.pkg");
    EXPECT_EQ(QDir(downloads + "/" + folder).entryList(QDir::Files), QStringList{"Dravik-FTP-9.9.9.pkg"});
    EXPECT_EQ(contentOf(installed), package);
    EXPECT_EQ(ftptest::permissionsOf(downloads + "/" + folder), 0700u);
    QDir(downloads + "/" + folder).removeRecursively();

    const std::pair<std::function<void(UpdateRelease&)>, QString> cases[] = {
        {[](UpdateRelease& r) { r.sha256 = QString(64, 'a'); }, L("update_invalid")},
        {[](UpdateRelease& r) { ++r.bytes; }, L("update_invalid")},
        {[&](UpdateRelease& r) { r.url = server.url("/downloads/Dravik-FTP-1.0.0.pkg"); }, L("update_unavailable")},
        // Held open after the extra octet: only a check that stops as it arrives ends in time.
        {[&](UpdateRelease&) {
             server.put(packagePath, package + 'x');
             server.stall(packagePath, package.size() + 1000);
         },
         L("update_invalid")},
    };
    for (const auto& [change, expected] : cases) {
        UpdateRelease changed = release;
        change(changed);
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(outcome(check.downloadPackage(changed)), expected);
        EXPECT_LT(timer.elapsed(), 10000);
        EXPECT_EQ(inDownloads(), QStringList());
    }

    // Still announced as longer than it is, so the download waits for the rest.
    server.put(packagePath, package.first(1000));
    const QFuture<QString> stalled = check.downloadPackage(release);
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(inDownloads().size(), 1);
    check.cancel();
    EXPECT_EQ(outcome(stalled), "cancelled");
    EXPECT_EQ(inDownloads(), QStringList());
}
