#include "SFTPPacket.h"
#include "HostKeyPinning.h"
#include "L10n.h"
#include "TestFiles.h"

#include <QCryptographicHash>
#include <QTimeZone>
#include <gtest/gtest.h>

using namespace SFTPPacket;

namespace {

QByteArray words(std::initializer_list<quint32> values)
{
    QByteArray bytes;
    for (quint32 value : values)
        u32(bytes, value);
    return bytes;
}

bool failsAsOperation(const std::function<void()>& decode)
{
    return ftptest::failureText(decode) == L("operation_failed");
}

} // namespace

TEST(SFTPPacket, DecodesAttributeBlocksAndRefusesMalformedOnes)
{
    const QDateTime stamp = QDateTime::fromSecsSinceEpoch(1700000000, QTimeZone::utc());
    struct Case {
        const char* what;
        QByteArray block;
        bool isDirectory = false;
        std::optional<qint64> size = {};
        std::optional<QDateTime> modified = {};
        bool refused = false;
        // Kept for regular files only.
        std::optional<quint32> permissions = {};
    };
    QByteArray extended = words({Attribute::extended, 2});
    for (int pair = 0; pair < 2; ++pair) {
        blob(extended, "type");
        blob(extended, "data");
    }
    const Case cases[] = {
        {"no attributes", words({0})},
        {"folder", words({Attribute::permissions, 040755}), true},
        {"symbolic link", words({Attribute::permissions, 0120777})},
        {"everything", words({0x0F, 0, 1234, 1000, 1000, 0104755, 1, 1700000000}), false, 1234, stamp, false, 04755},
        {"largest size", words({Attribute::size, 0x7FFFFFFF, 0xFFFFFFFF}), false, 0x7FFFFFFFFFFFFFFFll},
        {"extended pairs", extended},
        {"unknown bits carry nothing", words({0x00000F00})},
        {"size with its top bit set", words({Attribute::size, 0x80000000, 0}), false, {}, {}, true},
        {"1,000 extended pairs", words({Attribute::extended, 1000}), false, {}, {}, true},
        {"short size", words({Attribute::size, 0}), false, {}, {}, true},
        {"short owner", words({Attribute::owner, 0}), false, {}, {}, true},
        {"short times", words({Attribute::times, 1}), false, {}, {}, true},
        {"short extended pair", words({Attribute::extended, 1, 5}), false, {}, {}, true},
        {"short flags", QByteArray("\0\0\0", 3), false, {}, {}, true},
    };
    for (const Case& c : cases) {
        Reader reader{c.block};
        if (c.refused) {
            EXPECT_TRUE(failsAsOperation([&] { SFTPPacket::attributes(QString(), reader); })) << c.what;
            continue;
        }
        const FileEntry entry = SFTPPacket::attributes(QStringLiteral("x"), reader);
        EXPECT_EQ(entry.name, QStringLiteral("x")) << c.what;
        EXPECT_EQ(entry.isDirectory, c.isDirectory) << c.what;
        EXPECT_EQ(entry.size, c.size) << c.what;
        EXPECT_EQ(entry.modified, c.modified) << c.what;
        EXPECT_EQ(entry.permissions, c.permissions) << c.what;
        EXPECT_EQ(reader.position, c.block.size()) << c.what;
    }
}

TEST(SFTPPacket, NameRepliesKeepOnlyUsableNamesWithinTheLimit)
{
    const QList<QByteArray> names{".",           "..", "dir one", "caf\xc3\xa9", "bad\xff",
                                  "line\nbreak", "",   "a/b",     "link",        "ls link"};
    QByteArray reply;
    u8(reply, Type::name);
    u32(reply, quint32(names.size()));
    for (const QByteArray& name : names) {
        blob(reply, name);
        // Only a long name in the form of "ls -l" tells of a link.
        blob(reply, name == "ls link" ? "lrwxrwxrwx 1 u g 4 Jan 31 12:00 ls link -> x" : "long name");
        u32(reply, Attribute::permissions);
        u32(reply, name.startsWith("dir") ? 040755 : name == "link" ? 0120777 : name == "ls link" ? 0 : 0100644);
    }
    Reader reader{reply};
    QList<FileEntry> entries;
    nameReply(reader, entries);
    ASSERT_EQ(entries.size(), 5);
    EXPECT_EQ(entries[0].name, QStringLiteral("dir one"));
    EXPECT_TRUE(entries[0].isDirectory);
    EXPECT_EQ(entries[1].name, QStringLiteral("café"));
    EXPECT_EQ(entries[2].name, QStringLiteral("bad\uFFFD"));
    for (int index : {0, 1, 2})
        EXPECT_FALSE(entries[index].isSymbolicLink);
    EXPECT_TRUE(entries[3].isSymbolicLink && entries[4].isSymbolicLink);

    // The limit counts what earlier replies of the same listing collected: ten more make 50,001.
    QList<FileEntry> nearlyFull(49'991);
    EXPECT_TRUE(failsAsOperation([&] {
        Reader again{reply};
        nameReply(again, nearlyFull);
    }));
}

TEST(HostKeyPinning, KeepsExactlyTheLinesOfThePinnedKey)
{
    const QByteArray pinnedKey("pinned key blob");
    const QByteArray otherKey("another key blob");
    const QString digest = HostKeyPinning::fingerprint(pinnedKey);
    ASSERT_FALSE(digest.contains(QLatin1Char('=')));
    const QByteArray pinnedLine = "[127.0.0.1]:2222 ssh-ed25519 " + pinnedKey.toBase64();
    const QByteArray scan = "# 127.0.0.1:2222 SSH-2.0-OpenSSH\n\n" + pinnedLine + "\n[127.0.0.1]:2222 ssh-rsa " +
                            otherKey.toBase64() + "\n#" + pinnedLine + "\n" + pinnedLine + " extra\n" +
                            "host ssh-ed25519 !!notbase64!!\n" + pinnedLine + "\n";

    const QString padded =
        QString::fromLatin1(QCryptographicHash::hash(pinnedKey, QCryptographicHash::Sha256).toBase64());
    for (const QString& pin : {QString(QStringLiteral("SHA256:") + digest), padded, digest}) {
        const QStringList kept = HostKeyPinning::acceptedLines(scan, pin);
        EXPECT_EQ(kept, QStringList({QString::fromLatin1(pinnedLine), QString::fromLatin1(pinnedLine)}))
            << pin.toStdString();
    }
    EXPECT_TRUE(HostKeyPinning::acceptedLines(scan, HostKeyPinning::fingerprint(otherKey + "x")).isEmpty());
    EXPECT_TRUE(HostKeyPinning::acceptedLines(scan, std::nullopt).isEmpty());
    EXPECT_TRUE(HostKeyPinning::acceptedLines({}, digest).isEmpty());
}
