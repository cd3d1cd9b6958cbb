#include "UpdateCheck.h"
#include "CancellationError.h"
#include "FTPError.h"
#include "HTTPSServer.h"
#include "L10n.h"
#include "ProFTPDServer.h"
#include "QtPrinters.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFutureWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// More than one block of the download, and not a whole number of them.
QByteArray packageBytes()
{
    QByteArray bytes;
    for (int n = 0; bytes.size() < 200000; ++n)
        bytes += QByteArray::number(n) + ' ';
    return bytes;
}

class UpdateCheckTest : public testing::Test {
protected:
    void SetUp() override
    {
        // The Downloads location comes from the user-dirs file of this test's own configuration.
        QDir().mkpath(downloads);
        QFile dirs(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/user-dirs.dirs");
        QDir().mkpath(QFileInfo(dirs).path());
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DOWNLOAD_DIR=\"" + downloads.toUtf8() + "\"\n");
        dirs.close();
        qputenv("DRAVIK_UPDATE_SERVER", server->address().toUtf8());
        server->put("/downloads/Dravik-FTP-9.9.9.pkg", package);
    }

    QJsonObject feed() const
    {
        return {{"version", "9.9.9"},
                {"build", 42},
                {"url", server->url("/downloads/Dravik-FTP-9.9.9.pkg")},
                {"sha256", QString::fromLatin1(QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex())},
                {"bytes", package.size()},
                {"notes", QJsonObject{{"en", QJsonArray{"Faster", "Smaller"}}, {"de", QJsonArray{"Schneller"}}}}};
    }
    QJsonObject feedWith(const QString& key, const QJsonValue& value) const
    {
        QJsonObject changed = feed();
        changed.insert(key, value);
        return changed;
    }

    // Runs the event loop until the step ends; its result, or the sentence of its failure.
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
        try {
            const T value = future.result();
            if (result)
                *result = value;
            return "(ok)";
        } catch (const CancellationError&) {
            return "(cancelled)";
        } catch (const FTPError& error) {
            return error.errorDescription();
        }
    }
    QString fetch(const QJsonObject& document, UpdateRelease* release = nullptr)
    {
        server->put("/updates.json", QJsonDocument(document).toJson());
        return outcome(check.fetchRelease(), release);
    }
    QStringList leftInDownloads() const { return QDir(downloads).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }

    const QByteArray package = packageBytes();
    TemporaryFolder home;
    const QString downloads = home.file("Downloads");
    std::unique_ptr<HTTPSServer> server = std::make_unique<HTTPSServer>();
    UpdateCheck check;
};

} // namespace

TEST_F(UpdateCheckTest, AGoodFeedAndPackageAreVerifiedAndInstalledInTheDownloads)
{
    // The announced digest in upper case matches the package's lower-case one.
    UpdateRelease release;
    ASSERT_EQ(fetch(feedWith("sha256", feed().value("sha256").toString().toUpper()), &release), "(ok)");
    EXPECT_EQ(release.build, 42);
    EXPECT_EQ(release.notesText("fr"), "Faster\nSmaller\n\n" + L("update_unsigned"));
    EXPECT_EQ(release.notesText("de"), "Schneller\n\n" + L("update_unsigned"));

    QString installed;
    ASSERT_EQ(outcome(check.downloadPackage(release), &installed), "(ok)");
    const QStringList folders = leftInDownloads();
    ASSERT_EQ(folders.size(), 1);
    EXPECT_TRUE(QRegularExpression("^Dravik FTP Update [0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$")
                    .match(folders[0])
                    .hasMatch())
        << folders[0].toStdString();
    EXPECT_EQ(installed, downloads + "/" + folders[0] + "/Dravik-FTP-9.9.9.pkg");
    EXPECT_EQ(QDir(QFileInfo(installed).path()).entryList(QDir::Files), QStringList{"Dravik-FTP-9.9.9.pkg"});
    QFile file(installed);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), package);
    EXPECT_EQ(ftptest::permissionsOf(QFileInfo(installed).path()), 0700u);
}

TEST_F(UpdateCheckTest, EveryFaultOfTheFeedIsRefusedAsInvalid)
{
    const QString pkg = server->url("/downloads/Dravik-FTP-9.9.9.pkg");
    const QByteArray good = QJsonDocument(feed()).toJson();
    struct Case {
        const char* name;
        QByteArray document;
        bool valid;
    };
    const auto with = [&](const QString& key, const QJsonValue& value) {
        return QJsonDocument(feedWith(key, value)).toJson();
    };
    const auto without = [&](const QString& key) {
        QJsonObject changed = feed();
        changed.remove(key);
        return QJsonDocument(changed).toJson();
    };
    const auto withVersion = [&](const QString& version) {
        QJsonObject changed = feedWith("version", version);
        changed.insert("url", server->url("/downloads/Dravik-FTP-" + version + ".pkg"));
        return QJsonDocument(changed).toJson();
    };
    const Case cases[] = {
        {"262,144 octets", good + QByteArray(262144 - good.size(), ' '), true},
        {"262,145 octets", good + QByteArray(262145 - good.size(), ' '), false},
        {"not JSON", "version 9.9.9", false},
        {"an array", "[]", false},
        {"long numbers", withVersion("10.200.30000000000"), true},
        {"two numbers", withVersion("9.9"), false},
        {"leading letter", withVersion("v9.9.9"), false},
        {"trailing line feed", withVersion("9.9.9\n"), false},
        {"build 0", with("build", 0), false},
        {"build 1.5", with("build", 1.5), false},
        {"build as text", with("build", "42"), false},
        {"extra segment", with("url", server->url("/downloads/x/Dravik-FTP-9.9.9.pkg")), false},
        {"other name", with("url", server->url("/downloads/Dravik-9.9.9.pkg")), false},
        {"encoded slash", with("url", server->url("/downloads%2FDravik-FTP-9.9.9.pkg")), false},
        {"user name", with("url", QString(pkg).replace("https://", "https://user@")), false},
        {"password", with("url", QString(pkg).replace("https://", "https://:secret@")), false},
        {"http", with("url", QString(pkg).replace("https://", "http://")), false},
        {"other host", with("url", QString(pkg).replace("127.0.0.1", "localhost")), false},
        {"short digest", with("sha256", QString(63, 'a')), false},
        {"digest not hex", with("sha256", QString(64, 'g')), false},
        {"0 bytes", with("bytes", 0), false},
        {"26,214,399 bytes", with("bytes", 26214399), true},
        {"26,214,400 bytes", with("bytes", 26214400), false},
        {"notes not lists", with("notes", QJsonObject{{"en", "Faster"}}), false},
        {"lines not text", with("notes", QJsonObject{{"en", QJsonArray{1}}}), false},
        {"no notes", without("notes"), false},
        {"no digest", without("sha256"), false},
    };
    for (const Case& c : cases) {
        server->put("/updates.json", c.document);
        EXPECT_EQ(outcome(check.fetchRelease()), c.valid ? "(ok)" : L("update_invalid")) << c.name;
    }
}

TEST_F(UpdateCheckTest, RedirectsStayOnTheUpdateServerOverHTTPS)
{
    server->put("/moved.json", QJsonDocument(feed()).toJson());
    const QString port = server->address().section(':', 1);
    struct Case {
        QString location;
        QString expected;
    };
    const Case cases[] = {
        {server->url("/moved.json"), "(ok)"},
        {"https://localhost:" + port + "/moved.json", L("update_unavailable")},
        {"http://127.0.0.1:" + port + "/moved.json", L("update_unavailable")},
    };
    for (const Case& c : cases) {
        server->redirect("/updates.json", c.location);
        EXPECT_EQ(outcome(check.fetchRelease()), c.expected) << c.location.toStdString();
    }
    server->redirect("/updates.json", server->url("/missing.json"));
    EXPECT_EQ(outcome(check.fetchRelease()), L("update_unavailable"));
}

TEST_F(UpdateCheckTest, EveryEndingOfAPackageDownloadRemovesThePartialFile)
{
    UpdateRelease release;
    ASSERT_EQ(fetch(feed(), &release), "(ok)");
    const QString path = "/downloads/Dravik-FTP-9.9.9.pkg";
    struct Case {
        const char* name;
        std::function<void(UpdateRelease&)> prepare;
        QString expected;
    };
    const Case cases[] = {
        {"wrong digest", [](UpdateRelease& r) { r.sha256 = QString(64, 'a'); }, L("update_invalid")},
        {"one octet short", [](UpdateRelease& r) { ++r.bytes; }, L("update_invalid")},
        // Held open after the extra octet: only a check that stops as it arrives ends in time.
        {"one octet too many",
         [&](UpdateRelease&) {
             server->put(path, package + 'x');
             server->stall(path, package.size() + 1000);
         },
         L("update_invalid")},
        {"not there", [&](UpdateRelease& r) { r.url = server->url("/downloads/Dravik-FTP-1.0.0.pkg"); },
         L("update_unavailable")},
    };
    for (const Case& c : cases) {
        UpdateRelease changed = release;
        c.prepare(changed);
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(outcome(check.downloadPackage(changed)), c.expected) << c.name;
        EXPECT_LT(timer.elapsed(), 10000) << c.name;
        EXPECT_EQ(leftInDownloads(), QStringList()) << c.name;
    }

    server->put(path, package.first(1000));
    server->stall(path, package.size());
    const QFuture<QString> running = check.downloadPackage(release);
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(leftInDownloads().size(), 1);
    check.cancel();
    EXPECT_EQ(outcome(running), "(cancelled)");
    EXPECT_EQ(leftInDownloads(), QStringList());
}

TEST_F(UpdateCheckTest, AServerWithAnUntrustedCertificateIsRefused)
{
    server = std::make_unique<HTTPSServer>(true);
    qputenv("DRAVIK_UPDATE_SERVER", server->address().toUtf8());
    UpdateCheck fresh;
    server->put("/updates.json", QJsonDocument(feed()).toJson());
    EXPECT_EQ(outcome(fresh.fetchRelease()), L("invalid_certificate"));
}
