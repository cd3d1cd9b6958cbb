#include "FTPError.h"
#include "L10n.h"
#include "LocalFile.h"
#include "SFTPOperations.h"
#include "SFTPPacket.h"
#include "SFTPWire.h"
#include "TemporaryFolder.h"
#include "TestFiles.h"

#include <algorithm>
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
    // The request answered; 0 for the one after the previous reply's.
    quint32 id = 0;
};

const Reply handle{Type::handle, blob("handle-1")};
const Reply endOfFile{Type::status, status(1)};
const Reply closed{Type::status, status(0)};
Reply data(const QByteArray& bytes, quint32 id = 0)
{
    return {Type::data, blob(bytes), id};
}
Reply answering(quint32 id, Reply reply)
{
    reply.id = id;
    return reply;
}

const QByteArray version3 = frame(char(Type::version) + be32(3));
const QString lostBeforeHandshake = L("connect_failed");
const QString lostAfterHandshake = L("ftp_error", "56") + ' ' + L("connect_failed");

// The server's whole side: its version, then the replies in order. The wire numbers its requests
// 1, 2, ..., so each reply carries the identifier of the request it answers.
QByteArray script(const QList<Reply>& replies)
{
    QByteArray bytes = version3;
    quint32 id = 0;
    for (const Reply& reply : replies) {
        id = reply.id != 0 ? reply.id : id + 1;
        bytes += frame(char(reply.type) + be32(id) + reply.body);
    }
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

TEST(ScriptedWire, TransfersHandleAnswersInFileOrderAndCheckTheFinalSize)
{
    const Reply sized{Type::attrs, sizeAttributes(10)};
    // Two whole chunks and a short one: STAT, OPEN, then READs 3 to 5 for the chunks and READ 6
    // for the end of the file are in flight together.
    const QByteArray a = randomBytes(32 * 1024), b = randomBytes(32 * 1024), c = "0123456789";
    const Reply chunks{Type::attrs, sizeAttributes(quint32(a.size() + b.size() + c.size()))};
    const Reply refused{Type::status, status(4)};
    struct Case {
        const char* what;
        std::optional<qint64> offset;
        QList<Reply> replies;
        QString failure;
        QByteArray written;
    };
    const Case cases[] = {
        {"whole file", {}, {sized, handle, data("0123456789"), endOfFile, closed}, "(no error)", "0123456789"},
        {"grew during the download",
         {},
         {sized, handle, data("0123456789"), data("abcde"), endOfFile, closed},
         L("operation_failed"),
         "0123456789abcde"},
        {"offset at the end", 10, {sized, handle, endOfFile, closed}, "(no error)", "0123456789"},
        {"empty data never ends", {}, {sized, handle, data(""), closed}, L("operation_failed"), ""},
        {"answers out of order",
         {},
         {chunks, handle, data(c, 5), data(a, 3), answering(6, endOfFile), data(b, 4), answering(7, closed)},
         "(no error)",
         a + b + c},
        {"short answer asked again",
         {},
         {chunks, handle, data(a.first(1000)), data(b), data(c), endOfFile, data(a.mid(1000)), closed},
         "(no error)",
         a + b + c},
        {"failure mid-file",
         {},
         {chunks, handle, data(a), refused, data(c), endOfFile, closed},
         L("ftp_error", "4"),
         a},
        {"end mid-file",
         {},
         {chunks, handle, data(a), endOfFile, endOfFile, endOfFile, closed},
         L("operation_failed"),
         a},
        {"more than asked for",
         {},
         {chunks, handle, data(a + "x"), data(b), data(c), endOfFile, closed},
         L("operation_failed"),
         ""},
    };
    for (const Case& test : cases) {
        TemporaryFolder folder;
        const QString local = test.offset ? folder.write(QStringLiteral("f"), "0123456789") : folder.file("f");
        Scripted server(script(test.replies));
        server.wire.handshake();
        QList<double> progress;
        EXPECT_EQ(failureText([&] {
                      LocalFile file = LocalFile::open(local, O_WRONLY | O_CREAT);
                      SFTPOperations::download(server.wire, QStringLiteral("/f"), file, test.offset,
                                               [&](double fraction) { progress.append(fraction); });
                  }),
                  test.failure)
            << test.what;
        EXPECT_EQ(contentOf(local), test.written) << test.what;
        EXPECT_TRUE(std::ranges::is_sorted(progress)) << test.what;
        EXPECT_LE(progress.value(progress.size() - 1), 1.0) << test.what;
        EXPECT_EQ(server.lastType(), Type::close) << test.what;
    }

    // Uploads: OPEN, then WRITEs 2 to 4, then CLOSE.
    const double first = double(a.size()) / double(a.size() + b.size() + c.size());
    const double second = double(a.size() + b.size()) / double(a.size() + b.size() + c.size());
    const std::tuple<const char*, QList<Reply>, QString, QList<double>> uploads[] = {
        {"answers out of order",
         {handle, answering(4, closed), answering(2, closed), answering(3, closed), answering(5, closed)},
         "(no error)",
         {first, second, 1.0}},
        {"failure mid-file", {handle, closed, refused, closed, closed}, L("ftp_error", "4"), {first}},
    };
    for (const auto& [what, replies, failure, progress] : uploads) {
        TemporaryFolder folder;
        Scripted server(script(replies));
        server.wire.handshake();
        QList<double> reported;
        EXPECT_EQ(failureText([&] {
                      LocalFile file = LocalFile::open(folder.write(QStringLiteral("f"), a + b + c), O_RDONLY);
                      SFTPOperations::upload(server.wire, file, QStringLiteral("/f"), true, std::nullopt,
                                             [&](double fraction) { reported.append(fraction); });
                  }),
                  failure)
            << what;
        EXPECT_EQ(reported, progress) << what;
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
