#include "FTPError.h"
#include "L10n.h"
#include "LocalFile.h"
#include "SFTPOperations.h"
#include "SFTPPacket.h"
#include "SFTPWire.h"
#include "TemporaryFolder.h"
#include "TestFiles.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

using namespace ftptest;
namespace Type = SFTPPacket::Type;

// A wire whose server is a script, for what a real server will not do on demand: torn frames,
// wrong identifiers, lies about sizes.
namespace {

QByteArray be32(quint32 value)
{
    QByteArray bytes;
    SFTPPacket::u32(bytes, value);
    return bytes;
}

QByteArray blob(const QByteArray& bytes)
{
    return be32(quint32(bytes.size())) + bytes;
}

QByteArray frame(const QByteArray& packet)
{
    return be32(quint32(packet.size())) + packet;
}

QByteArray status(quint32 code)
{
    return be32(code) + blob("message") + blob("en");
}

QByteArray sizeAttributes(quint32 size, qsizetype padding = 0)
{
    return be32(SFTPPacket::Attribute::size) + be32(0) + be32(size) + QByteArray(padding, '\0');
}

struct Reply {
    quint8 type;
    QByteArray body;
};

const Reply handle{Type::handle, blob("handle-1")};
const Reply endOfFile{Type::status, status(1)};
const Reply closed{Type::status, status(0)};
Reply data(const QByteArray& bytes)
{
    return {Type::data, blob(bytes)};
}

const QByteArray version3 = frame(char(Type::version) + be32(3));
const QString lostBeforeHandshake = L("connect_failed");
const QString lostAfterHandshake = L("ftp_error", "56") + '\n' + L("connect_failed");

// The server's whole side: its version, then the replies in order. The wire numbers its requests
// 1, 2, ..., so each reply carries the identifier of the request it answers.
QByteArray script(const QList<Reply>& replies)
{
    QByteArray bytes = version3;
    quint32 id = 0;
    for (const Reply& reply : replies)
        bytes += frame(char(reply.type) + be32(++id) + reply.body);
    return bytes;
}

// A wire to a server that has already said `server` and then hangs up; what the wire sends is kept.
class Scripted {
public:
    explicit Scripted(const QByteArray& server)
        : fromServer(::memfd_create("server", MFD_CLOEXEC)), toServer(::memfd_create("requests", MFD_CLOEXEC))
    {
        EXPECT_EQ(::write(fromServer, server.constData(), size_t(server.size())), server.size());
        ::lseek(fromServer, 0, SEEK_SET);
        wire.attach(toServer, fromServer);
    }
    ~Scripted()
    {
        ::close(fromServer);
        ::close(toServer);
    }

    // The requests after the handshake, type octet first.
    QList<QByteArray> requests() const
    {
        ::lseek(toServer, 0, SEEK_SET);
        const QByteArray bytes = LocalFile(::dup(toServer), {}).readToEnd();
        SFTPPacket::Reader sent{bytes};
        QList<QByteArray> packets;
        while (sent.position < sent.buffer.size())
            packets << SFTPPacket::blob(sent).toByteArray();
        return packets.mid(1);
    }
    quint8 lastType() const { return quint8(requests().last().at(0)); }

    SFTPWire wire;

private:
    int fromServer;
    int toServer;
};

void statRoot(SFTPWire& wire)
{
    SFTPOperations::stat(wire, QStringLiteral("/"));
}

} // namespace

TEST(ScriptedWire, HandshakesFramesAndIdentifiersAreChecked)
{
    const qsizetype largest = SFTPPacket::frameLimit - 1 - 4 - 12;
    const QByteArray sized = script({{Type::attrs, sizeAttributes(1)}});
    struct Case {
        const char* what;
        QByteArray server;
        QString failure;
        bool afterHandshake = true;
    };
    const Case cases[] = {
        {"largest frame", script({{Type::attrs, sizeAttributes(1, largest)}}), "(no error)"},
        {"frame of zero octets", version3 + QByteArray(4, '\0'), L("operation_failed")},
        {"frame beyond 4 MiB", version3 + QByteArray::fromHex("00400001") + "junk", L("operation_failed")},
        {"someone else's identifier", version3 + frame(char(Type::attrs) + be32(2) + sizeAttributes(1)),
         L("operation_failed")},
        {"torn mid-frame", sized.first(version3.size() + 9), lostAfterHandshake},
        {"torn mid-length", version3 + QByteArray(2, '\0'), lostAfterHandshake},
        {"status failure", script({{Type::status, status(4)}}), L("ftp_error", "4")},
        {"reply of another type", script({handle}), L("operation_failed")},
        {"nothing before the handshake", {}, lostBeforeHandshake, false},
        {"torn version", version3.first(6), lostBeforeHandshake, false},
        {"version 6", frame(char(Type::version) + be32(6)), L("operation_failed"), false},
    };
    for (const Case& c : cases) {
        Scripted server(c.server);
        EXPECT_EQ(failureText([&] {
                      server.wire.handshake();
                      statRoot(server.wire);
                  }),
                  c.failure)
            << c.what;
        EXPECT_EQ(server.wire.isReady(), c.afterHandshake) << c.what;
    }

    Scripted server(script({closed}));
    server.wire.handshake();
    SFTPPacket::Reader reply = server.wire.request(Type::mkdir, "payload");
    EXPECT_EQ(SFTPPacket::u8(reply), Type::status) << "status 0 is an answer of its own";
    EXPECT_EQ(SFTPPacket::u32(reply), 0u);
    EXPECT_EQ(server.requests(), QList<QByteArray>{char(Type::mkdir) + be32(1) + "payload"});

    // The version reply's extensions; a torn list keeps the names before the tear.
    const QByteArray rename = blob("posix-rename@openssh.com") + blob("1");
    const std::tuple<const char*, QByteArray, bool> extensions[] = {
        {"announced among others", blob("statvfs@openssh.com") + blob("2") + rename, true},
        {"not announced", {}, false},
        {"name without data", blob("posix-rename@openssh.com"), false},
        {"after a torn pair", blob("other") + be32(99) + rename, false},
        {"before a torn pair", rename + be32(99), true},
    };
    for (const auto& [what, announced, supported] : extensions) {
        Scripted announcing(frame(char(Type::version) + be32(3) + announced));
        announcing.wire.handshake();
        EXPECT_EQ(announcing.wire.supports(SFTPOperations::posixRename), supported) << what;
    }
}

TEST(ScriptedWire, ListingsCloseTheirHandleOnEveryWayOut)
{
    const auto names = [](quint32 count) {
        QByteArray body = be32(count);
        for (quint32 index = 0; index < std::min<quint32>(count, 3); ++index)
            body += blob(QByteArray::number(index)) + blob("") + be32(0);
        return Reply{Type::name, body};
    };
    const std::tuple<const char*, QList<Reply>, QString, qsizetype> cases[] = {
        {"empty folder", {handle, endOfFile, closed}, "(no error)", 0},
        {"three entries", {handle, names(3), endOfFile, closed}, "(no error)", 3},
        {"server failure", {handle, names(3), {Type::status, status(4)}, closed}, L("ftp_error", "4"), 0},
        {"no entries announced", {handle, names(0), closed}, L("operation_failed"), 0},
        {"too many announced", {handle, names(50'001), closed}, L("operation_failed"), 0},
    };
    for (const auto& [what, replies, failure, count] : cases) {
        Scripted server(script(replies));
        server.wire.handshake();
        QList<FileEntry> entries;
        EXPECT_EQ(failureText([&] { entries = SFTPOperations::list(server.wire, QStringLiteral("/d")); }), failure)
            << what;
        EXPECT_EQ(entries.size(), count) << what;
        EXPECT_EQ(server.lastType(), Type::close) << what;
    }
}

TEST(ScriptedWire, DownloadsCheckTheFinalSize)
{
    const Reply sized{Type::attrs, sizeAttributes(10)};
    const std::tuple<const char*, std::optional<qint64>, QList<Reply>, QString, QByteArray> cases[] = {
        {"whole file", {}, {sized, handle, data("0123456789"), endOfFile, closed}, "(no error)", "0123456789"},
        {"grew during the download",
         {},
         {sized, handle, data("0123456789"), data("abcde"), endOfFile, closed},
         L("operation_failed"),
         "0123456789abcde"},
        {"offset at the end", 10, {sized, handle, endOfFile, closed}, "(no error)", "0123456789"},
        {"empty data never ends", {}, {sized, handle, data(""), closed}, L("operation_failed"), ""},
    };
    for (const auto& [what, offset, replies, failure, written] : cases) {
        TemporaryFolder folder;
        const QString local = offset ? folder.write(QStringLiteral("f"), "0123456789") : folder.file("f");
        Scripted server(script(replies));
        server.wire.handshake();
        QList<double> progress;
        EXPECT_EQ(failureText([&] {
                      LocalFile file = LocalFile::open(local, O_WRONLY | O_CREAT);
                      SFTPOperations::download(server.wire, QStringLiteral("/f"), file, offset,
                                               [&](double fraction) { progress.append(fraction); });
                  }),
                  failure)
            << what;
        EXPECT_EQ(contentOf(local), written) << what;
        for (double fraction : progress)
            EXPECT_LE(fraction, 1.0) << what;
        EXPECT_EQ(server.lastType(), Type::close) << what;
    }
}

TEST(ScriptedWire, CancellationWinsOverTheLostConnection)
{
    int toServer[2];
    int fromServer[2];
    ASSERT_EQ(::pipe2(toServer, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(fromServer, O_CLOEXEC), 0);
    ASSERT_EQ(::write(fromServer[1], version3.constData(), size_t(version3.size())), version3.size());
    SFTPWire wire;
    wire.attach(toServer[1], fromServer[0]);
    wire.handshake();
    // Once the request is out (after the nine octets of the handshake), the wire is cancelled
    // and then the connection drops.
    std::thread canceller([&] {
        char sent[64];
        for (ssize_t total = 0; total <= 9;)
            total += std::max<ssize_t>(0, ::read(toServer[0], sent, sizeof sent));
        wire.cancel();
        ::close(fromServer[1]);
    });
    EXPECT_EQ(failureText([&] { statRoot(wire); }), "cancelled");
    canceller.join();
    EXPECT_EQ(failureText([&] { statRoot(wire); }), "cancelled");
    for (int fd : {toServer[0], toServer[1], fromServer[0]})
        ::close(fd);
}
