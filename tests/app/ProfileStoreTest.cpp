#include "ProfileStore.h"
#include "QtPrinters.h"
#include "RemoteEditStore.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <system_error>

using namespace ftptest;

namespace {

QStringList folderFiles()
{
    return QDir(ProfileStore::folder()).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

TEST(ProfileStoreTest, SavedProfilesComeBackInOrderFromAPrivateSortedFile)
{
    ServerProfile first;
    first.name = QStringLiteral("Z first");
    first.host = QStringLiteral("ftp.example.org");
    first.rememberPassword = true;
    ServerProfile sftp;
    sftp.name = QStringLiteral("B");
    sftp.protocolType = FTPProtocol::sftp;
    sftp.sshFingerprint = QStringLiteral("SHA256:abc");
    const QList<ServerProfile> profiles{first, sftp};
    QDir().mkpath(ProfileStore::folder());
    QFile::setPermissions(ProfileStore::folder(), QFile::Permissions(0x7755));
    ProfileStore::save(profiles);

    EXPECT_EQ(ProfileStore::load(), profiles);
    EXPECT_EQ(permissionsOf(ProfileStore::folder()), 0700u);
    EXPECT_EQ(permissionsOf(ProfileStore::file()), 0600u);
    EXPECT_EQ(folderFiles(), (QStringList{"servers.json", "stores.lock"}));

    const QByteArray text = contentOf(ProfileStore::file());
    EXPECT_TRUE(text.startsWith("[\n    {\n        \"host\": \"ftp.example.org\",\n        \"id\"")) << text.data();
    qsizetype previous = -1;
    for (const char* key : {"\"id\"", "\"initialPath\"", "\"name\"", "\"port\"", "\"protocolType\"",
                            "\"rememberPassword\"", "\"username\""}) {
        EXPECT_GT(text.indexOf(key), previous) << key;
        previous = text.indexOf(key);
    }
    EXPECT_LT(text.indexOf("\"Z first\""), text.indexOf("\"B\""));
    EXPECT_FALSE(text.contains("password\""));
}

// A file that cannot be read is the person's only copy of what it held: it stays as it is until
// the first change, which keeps it aside, owner-only, before writing.
TEST(ProfileStoreTest, AFileThatCannotBeReadIsLeftUntilAChangeKeepsItAside)
{
    QDir(ProfileStore::folder()).removeRecursively();
    EXPECT_TRUE(ProfileStore::load().isEmpty());
    EXPECT_FALSE(QFile::exists(ProfileStore::folder()));

    ServerProfile profile;
    profile.host = QStringLiteral("ftp.example.org");
    RemoteEdit edit{QUuid::createUuid(),
                    profile,
                    QStringLiteral("/a.txt"),
                    QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt")),
                    QString(),
                    QString(),
                    false};
    const struct {
        QString file;
        QByteArray content;
        const char* expected;
    } cases[] = {
        {ProfileStore::file(), "[{\"name\": ", "could not be read"},
        {ProfileStore::file(), "{\"id\": 1}", "servers.json"},
        {ProfileStore::file(), "[17]", "servers.json"},
        {ProfileStore::file(), "[{\"name\": \"x\"}]", "id"},
        {ProfileStore::file(), "\xff\xfe\0", "could not be read"},
        {RemoteEditStore::file(), "[1]", "remote-edits.json"},
        {RemoteEditStore::file(), "", "could not be read"},
    };
    for (const auto& [file, content, expected] : cases) {
        SCOPED_TRACE(content.toStdString());
        const bool profiles = file == ProfileStore::file();
        writeFile(file, content);
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        const QString failure =
            failureText([profiles] { profiles ? (void)ProfileStore::load() : (void)RemoteEditStore::load(); });
        EXPECT_TRUE(failure != "(no error)" && failure.contains(QLatin1String(expected))) << failure.toStdString();
        EXPECT_EQ(contentOf(file), content);

        const QString kept = profiles ? ProfileStore::put(profile).keptAs : RemoteEditStore::put(edit);
        EXPECT_TRUE(
            QRegularExpression(QRegularExpression::anchoredPattern(QRegularExpression::escape(file) +
                                                                   QStringLiteral("\\.unreadable-\\d{8}-\\d{6}")))
                .match(kept)
                .hasMatch())
            << kept.toStdString();
        EXPECT_EQ(contentOf(kept), content);
        EXPECT_EQ(permissionsOf(kept), 0600u);
        if (profiles)
            EXPECT_EQ(ProfileStore::load(), QList<ServerProfile>{profile});
        else
            EXPECT_EQ(RemoteEditStore::load(), QList<RemoteEdit>{edit});
        QFile::remove(kept);
    }

    // A folder in the file's place is no content to keep, and defeats the rename even for root,
    // who may write anywhere.
    QFile::remove(ProfileStore::file());
    QDir().mkpath(ProfileStore::file() + QStringLiteral("/inside"));
    EXPECT_THROW(ProfileStore::load(), std::system_error);
    EXPECT_THROW(ProfileStore::put(profile), std::system_error);
    EXPECT_THROW(ProfileStore::save({profile}), std::system_error);
    EXPECT_EQ(folderFiles(), (QStringList{"remote-edits.json", "stores.lock"}));
}
