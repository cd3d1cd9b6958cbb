#include "L10n.h"
#include "ProFTPDServer.h"
#include "ProfileStore.h"
#include "QtPrinters.h"
#include "RemoteEditStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

using ftptest::failureText;
using ftptest::permissionsOf;

namespace {

RemoteEdit edit(const QString& localFile)
{
    RemoteEdit edit;
    edit.id = QUuid::fromString(QStringLiteral("0f8e4c1a-1b2c-4d5e-8f90-a1b2c3d4e5f6"));
    edit.profile.id = QUuid::fromString(QStringLiteral("11111111-2222-3333-4444-555555555555"));
    edit.profile.sshFingerprint = "SHA256:abc";
    edit.remotePath = "/www/index.html";
    edit.localURL = QUrl::fromLocalFile(localFile);
    edit.originalHash = QString(64, 'a');
    edit.uploadedHash = QString(64, 'b');
    edit.changed = true;
    return edit;
}

} // namespace

TEST(RemoteEdit, HashesRegularFilesOfUpToTwentyMebibytesOnly)
{
    TemporaryFolder folder;
    const auto sized = [&](const char* name, qint64 size) {
        QFile file(folder.file(name));
        file.open(QIODevice::WriteOnly);
        file.resize(size);
        return file.fileName();
    };
    QFile::link(folder.write("small", "hello"), folder.file("link"));
    ::mkfifo(QFile::encodeName(folder.file("fifo")).constData(), 0600);
    const QString hashOfExact =
        QCryptographicHash::hash(QByteArray(20971520, '\0'), QCryptographicHash::Sha256).toHex();
    const std::pair<QString, QString> cases[] = {
        {folder.file("small"), "2cf24dba5fb0a30e26e83b2ac5b9e29e1b161e5c1fa7425e73043362938b9824"},
        {sized("exact", 20971520), hashOfExact},
        {sized("over", 20971521), L("edit_size_limit")},
        {folder.file("link"), L("edit_size_limit")},
        {folder.file("fifo"), L("edit_size_limit")},
        {folder.path(), L("edit_size_limit")},
    };
    for (const auto& [file, expected] : cases) {
        QString hash;
        const QString failure = failureText([&] { hash = RemoteEdit::editHash(file); });
        EXPECT_EQ(hash.isEmpty() ? failure : hash, expected) << file.toStdString();
    }
    EXPECT_THROW(RemoteEdit::editHash(folder.file("missing")), std::system_error);
}

TEST(RemoteEditStore, EditsComeBackFromAPrivateCompactFileInRecordOrder)
{
    EXPECT_EQ(RemoteEditStore::load(), QList<RemoteEdit>());
    const QString folder = RemoteEditStore::newCopyFolder();
    EXPECT_NE(folder, RemoteEditStore::newCopyFolder());
    EXPECT_EQ(QFileInfo(folder).path(), RemoteEditStore::copiesFolder());
    EXPECT_FALSE(QUuid::fromString(QFileInfo(folder).fileName()).isNull());
    for (const QString& path : {ProfileStore::folder(), RemoteEditStore::copiesFolder(), folder})
        EXPECT_EQ(permissionsOf(path), 0700u) << path.toStdString();

    const QString copy = folder + QStringLiteral("/index \u00e9 #1.html");
    RemoteEdit second = edit("/tmp/other.txt");
    second.id = QUuid::createUuid();
    second.changed = false;
    RemoteEditStore::save({edit(copy), second});
    EXPECT_EQ(RemoteEditStore::load(), (QList<RemoteEdit>{edit(copy), second}));
    EXPECT_EQ(permissionsOf(RemoteEditStore::file()), 0600u);
}

TEST(RemoteEditStore, DocumentsOfAnyOtherShapeAreRefused)
{
    const QByteArray good = RemoteEditStore::encode({edit("/tmp/a.txt")});
    ASSERT_EQ(RemoteEditStore::decode(good), QList<RemoteEdit>{edit("/tmp/a.txt")});
    const std::tuple<QByteArray, QByteArray, const char*> cases[] = {
        {good, "[1]", "remote-edits.json"},
        {"\"changed\":true", "\"changed\":1", "changed"},
        {",\"changed\":true", "", "changed"},
        {"0F8E4C1A", "nothex!!", "id"},
        {"\"port\":21", "\"port\":\"21\"", "profile"},
        {"\"/www", "\"www", "remotePath"},
        {"file:///tmp", "https://example.org", "localURL"},
        {"file:///tmp", "file://host/tmp", "localURL"},
    };
    for (const auto& [from, to, detail] : cases)
        EXPECT_EQ(failureText([&] { RemoteEditStore::decode(QByteArray(good).replace(from, to)); }),
                  L("invalid_edits", detail))
            << to.toStdString();
}
