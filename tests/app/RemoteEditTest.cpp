#include "FTPError.h"
#include "L10n.h"
#include "ProFTPDServer.h"
#include "ProfileStore.h"
#include "QtPrinters.h"
#include "RemoteEditStore.h"
#include "TemporaryFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <gtest/gtest.h>
#include <sys/stat.h>

using ftptest::failureText;
using ftptest::permissionsOf;

namespace {

RemoteEdit edit(const QString& localFile)
{
    RemoteEdit edit;
    edit.id = QUuid::fromString(QStringLiteral("0f8e4c1a-1b2c-4d5e-8f90-a1b2c3d4e5f6"));
    edit.profile.id = QUuid::fromString(QStringLiteral("{11111111-2222-3333-4444-555555555555}"));
    edit.profile.name = "Site";
    edit.profile.host = "ftp.example.org";
    edit.profile.sshFingerprint = "SHA256:abc";
    edit.remotePath = "/www/index.html";
    edit.localURL = QUrl::fromLocalFile(localFile);
    edit.originalHash = QString(64, 'a');
    edit.uploadedHash = QString(64, 'b');
    edit.changed = true;
    return edit;
}

QString hashOf(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

} // namespace

TEST(RemoteEdit, HashesRegularFilesUpToTwentyMebibytesOnly)
{
    TemporaryFolder folder;
    const auto sized = [&](const char* name, qint64 size) {
        QFile file(folder.file(name));
        file.open(QIODevice::WriteOnly);
        file.resize(size);
        return file.fileName();
    };
    const QString small = folder.write("small.txt", "hello");
    QFile::link(small, folder.file("link"));
    ::mkfifo(QFile::encodeName(folder.file("fifo")).constData(), 0600);
    QDir().mkpath(folder.file("folder"));
    const QString limit = L("edit_size_limit");
    struct Case {
        QString file;
        QString expected;
    };
    const Case cases[] = {
        {small, hashOf("hello")},
        {sized("exact", 20971520), hashOf(QByteArray(20971520, '\0'))},
        {sized("over", 20971521), limit},
        {folder.file("link"), limit},
        {folder.file("fifo"), limit},
        {folder.file("folder"), limit},
        {folder.file("missing"), "(file system error)"},
    };
    for (const Case& c : cases) {
        QString result;
        try {
            result = RemoteEdit::editHash(c.file);
        } catch (const FTPError& error) {
            result = error.errorDescription();
        } catch (const std::system_error&) {
            result = "(file system error)";
        }
        EXPECT_EQ(result, c.expected) << c.file.toStdString();
    }
}

TEST(RemoteEditStore, EditsComeBackFromAPrivateCompactFileInRecordOrder)
{
    QDir(ProfileStore::folder()).removeRecursively();
    EXPECT_EQ(RemoteEditStore::load(), QList<RemoteEdit>());

    const QString copy = RemoteEditStore::newCopyFolder() + QStringLiteral("/index \u00e9 #1.html");
    RemoteEdit second = edit("/tmp/other.txt");
    second.id = QUuid::createUuid();
    second.profile = ServerProfile();
    second.changed = false;
    const QList<RemoteEdit> edits{edit(copy), second};
    RemoteEditStore::save(edits);
    EXPECT_EQ(RemoteEditStore::load(), edits);
    EXPECT_EQ(permissionsOf(RemoteEditStore::file()), 0600u);
    EXPECT_EQ(permissionsOf(ProfileStore::folder()), 0700u);

    const QByteArray text = ftptest::contentOf(RemoteEditStore::file());
    const QByteArray profile = QJsonDocument(edit(copy).profile.toJson()).toJson(QJsonDocument::Compact);
    EXPECT_TRUE(text.startsWith(QByteArray("[{\"id\":\"0F8E4C1A-1B2C-4D5E-8F90-A1B2C3D4E5F6\",\"profile\":" + profile +
                                           ",\"remotePath\":\"/www/index.html\",\"localURL\":\"file://" +
                                           QUrl::toPercentEncoding(QFile::encodeName(copy), "/") +
                                           "\",\"originalHash\":\"" + QByteArray(64, 'a') + "\",\"uploadedHash\":\"" +
                                           QByteArray(64, 'b') + "\",\"changed\":true},{\"id\":")))
        << text.toStdString();
    EXPECT_TRUE(text.contains("%20%C3%A9%20%231.html")) << text.toStdString();
}

TEST(RemoteEditStore, EachLocalCopyGetsAPrivateFolderOfItsOwn)
{
    const QString first = RemoteEditStore::newCopyFolder();
    const QString second = RemoteEditStore::newCopyFolder();
    EXPECT_NE(first, second);
    for (const QString& folder : {first, second}) {
        EXPECT_EQ(QFileInfo(folder).path(), RemoteEditStore::copiesFolder());
        EXPECT_FALSE(QUuid::fromString(QFileInfo(folder).fileName()).isNull());
        EXPECT_EQ(permissionsOf(folder), 0700u);
    }
    EXPECT_EQ(permissionsOf(RemoteEditStore::copiesFolder()), 0700u);
}

TEST(RemoteEditStore, DocumentsOfAnyOtherShapeAreRefused)
{
    const QByteArray good = RemoteEditStore::encode({edit("/tmp/a.txt")});
    const auto replaced = [&](const QByteArray& from, const QByteArray& to) {
        return QByteArray(good).replace(from, to);
    };
    struct Case {
        QByteArray document;
        const char* detail;
    };
    const Case cases[] = {
        {"{}", "remote-edits.json"},
        {"[1]", "remote-edits.json"},
        {replaced("\"changed\":true", "\"changed\":\"yes\""), "changed"},
        {replaced(",\"changed\":true", ""), "changed"},
        {replaced("0F8E4C1A", "nothex!!"), "id"},
        {replaced("\"port\":21", "\"port\":\"21\""), "profile"},
        {replaced("\"remotePath\":\"/www", "\"remotePath\":\"www"), "remotePath"},
        {replaced("file:///tmp/a.txt", "https://example.org/a.txt"), "localURL"},
        {replaced("file:///tmp/a.txt", "file://host/tmp/a.txt"), "localURL"},
        {replaced("file:///tmp/a.txt", "a.txt"), "localURL"},
    };
    ASSERT_EQ(RemoteEditStore::decode(good), QList<RemoteEdit>{edit("/tmp/a.txt")});
    for (const Case& c : cases)
        EXPECT_EQ(failureText([&] { RemoteEditStore::decode(c.document); }), L("invalid_edits", c.detail))
            << c.document.toStdString();
    EXPECT_TRUE(failureText([] { RemoteEditStore::decode("[{"); }).startsWith(L("invalid_edits", "").trimmed()));
}
