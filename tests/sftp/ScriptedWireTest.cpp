#include "CancellationError.h"
#include "FTPError.h"
#include "L10n.h"
#include "LocalFile.h"
#include "SFTPFailure.h"
#include "SFTPOperations.h"
#include "SFTPPacket.h"
#include "SFTPWire.h"
#include "TemporaryFolder.h"

#include <QFile>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace Type = SFTPPacket::Type;

namespace {

// Given the request just received (type octet first), the octets to write back.
using Step = std::function<QByteArray(const QByteArray& request)>;

QByteArray be32(quint32 value)
{
    QByteArray bytes;
    SFTPPacket::u32(bytes, value);
    return bytes;
}

QByteArray withBlob(const QByteArray& bytes)
{
    return be32(quint32(bytes.size())) + bytes;
}

QByteArray frame(const QByteArray& packet)
{
    return be32(quint32(packet.size())) + packet;
}

// The identifier of the request is echoed unless the test says otherwise.
Step answer(quint8 type, const QByteArray& body)
{
    return [type, body](const QByteArray& request) { return frame(char(type) + request.mid(1, 4) + body); };
}

Step raw(const QByteArray& bytes)
{
    return [bytes](const QByteArray&) { return bytes; };
}

Step status(quint32 code)
{
    return answer(Type::status, be32(code) + withBlob("message") + withBlob("en"));
}

QByteArray version(quint32 number)
{
    return frame(char(Type::version) + be32(number));
}

QByteArray sizeAttributes(quint32 size, qsizetype padding = 0)
{
    return be32(SFTPPacket::Attribute::size) + be32(0) + be32(size) + QByteArray(padding, '\0');
}

const Step handshake = raw(version(3));
const Step handle = answer(Type::handle, withBlob("handle-1"));
const Step endOfFile = status(1);
const Step closed = status(0);
Step sized(quint32 size)
{
    return answer(Type::attrs, sizeAttributes(size));
}

// The far end of an SFTPWire over a pair of pipes, answering from a script: for what a real server
// will not do on demand. After the last step it closes its end, so the wire reads end of stream.
class ScriptedPeer {
public:
    explicit ScriptedPeer(QList<Step> steps)
    {
        ::signal(SIGPIPE, SIG_IGN);
        EXPECT_EQ(::pipe2(toPeer, O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(fromPeer, O_CLOEXEC), 0);
        wire.attach(toPeer[1], fromPeer[0]);
        peer = std::thread([this, steps] { run(steps); });
    }
    ~ScriptedPeer()
    {
        ::close(toPeer[1]);
        ::close(fromPeer[0]);
        peer.join();
        ::close(toPeer[0]);
    }

    QList<QByteArray> requests() const
    {
        std::lock_guard guard(lock);
        return received;
    }
    quint8 lastType() const { return quint8(requests().last().at(0)); }
    static quint32 idOf(const QByteArray& request)
    {
        SFTPPacket::Reader reader{request};
        reader.position = 1;
        return SFTPPacket::u32(reader);
    }

    SFTPWire wire;

private:
    bool readExactly(char* into, qsizetype count) const
    {
        for (ssize_t got = 0; count > 0; into += got, count -= got)
            if ((got = ::read(toPeer[0], into, size_t(count))) <= 0)
                return false;
        return true;
    }
    void run(const QList<Step>& steps)
    {
        for (const Step& step : steps) {
            char length[4];
            if (!readExactly(length, 4))
                break;
            SFTPPacket::Reader reader{QByteArrayView(length, 4)};
            QByteArray packet(qsizetype(SFTPPacket::u32(reader)), Qt::Uninitialized);
            if (!readExactly(packet.data(), packet.size()))
                break;
            {
                std::lock_guard guard(lock);
                received.append(packet);
            }
            const QByteArray bytes = step(packet);
            if (::write(fromPeer[1], bytes.constData(), size_t(bytes.size())) != bytes.size())
                break;
        }
        ::close(fromPeer[1]);
    }

    int toPeer[2];
    int fromPeer[2];
    mutable std::mutex lock;
    QList<QByteArray> received;
    std::thread peer;
};

enum class Outcome { succeeds, operationFailed, lostBeforeHandshake, lostAfterHandshake, cancelled, status4 };

Outcome outcomeOf(const std::function<void()>& action)
{
    try {
        action();
        return Outcome::succeeds;
    } catch (const FTPError& e) {
        if (e.kind() == FTPError::Kind::command && e.exitStatus() == 56 && e.detail() == L("connect_failed"))
            return Outcome::lostAfterHandshake;
        if (e.kind() == FTPError::Kind::message && e.text() == L("connect_failed"))
            return Outcome::lostBeforeHandshake;
        if (e.kind() == FTPError::Kind::message && e.text() == L("operation_failed"))
            return Outcome::operationFailed;
        throw;
    } catch (const SFTPFailure& e) {
        if (e.status() == 4)
            return Outcome::status4;
        throw;
    } catch (const CancellationError&) {
        return Outcome::cancelled;
    }
}

void statRoot(SFTPWire& wire)
{
    SFTPOperations::stat(wire, QStringLiteral("/"));
}

} // namespace

TEST(ScriptedWire, HandshakesFramesAndIdentifiersAreChecked)
{
    const qsizetype largest = SFTPPacket::frameLimit - 1 - 4 - 12;
    const Step mismatched = [](const QByteArray& request) {
        return frame(char(Type::attrs) + be32(ScriptedPeer::idOf(request) + 1) + sizeAttributes(1));
    };
    struct Case {
        const char* what;
        Step reply;
        Outcome expected;
        bool afterHandshake = true;
    };
    const Case cases[] = {
        {"largest frame", answer(Type::attrs, sizeAttributes(1, largest)), Outcome::succeeds},
        {"frame of zero octets", raw(QByteArray(4, '\0')), Outcome::operationFailed},
        {"frame beyond 4 MiB", raw(QByteArray::fromHex("00400001") + "junk"), Outcome::operationFailed},
        {"someone else's identifier", mismatched, Outcome::operationFailed},
        {"torn mid-frame", [](const QByteArray& r) { return answer(Type::attrs, sizeAttributes(1))(r).first(9); },
         Outcome::lostAfterHandshake},
        {"torn mid-length", raw(QByteArray(2, '\0')), Outcome::lostAfterHandshake},
        {"status failure", status(4), Outcome::status4},
        {"reply of another type", handle, Outcome::operationFailed},
        {"nothing before the handshake", raw({}), Outcome::lostBeforeHandshake, false},
        {"torn version", raw(version(3).first(6)), Outcome::lostBeforeHandshake, false},
        {"version 6", raw(version(6)), Outcome::operationFailed, false},
    };
    for (const Case& c : cases) {
        ScriptedPeer peer(c.afterHandshake ? QList<Step>{handshake, c.reply} : QList<Step>{c.reply});
        EXPECT_EQ(outcomeOf([&] {
                      peer.wire.handshake();
                      statRoot(peer.wire);
                  }),
                  c.expected)
            << c.what;
        EXPECT_EQ(peer.wire.isReady(), c.afterHandshake) << c.what;
    }
}

TEST(ScriptedWire, StatusZeroIsAnAnswerOfItsOwn)
{
    ScriptedPeer peer({handshake, closed});
    peer.wire.handshake();
    SFTPPacket::Reader reply = peer.wire.request(Type::mkdir, "payload");
    EXPECT_EQ(SFTPPacket::u8(reply), Type::status);
    EXPECT_EQ(SFTPPacket::u32(reply), 0u);
    EXPECT_EQ(ScriptedPeer::idOf(peer.requests().at(1)), 1u);
}

TEST(ScriptedWire, ListingsCloseTheirHandleOnEveryWayOut)
{
    const auto names = [](quint32 count) {
        QByteArray body = be32(count);
        for (quint32 index = 0; index < std::min<quint32>(count, 3); ++index)
            body += withBlob(QByteArray::number(index)) + withBlob("") + be32(0);
        return answer(Type::name, body);
    };
    struct Case {
        const char* what;
        QList<Step> replies;
        Outcome expected;
        qsizetype entries;
    };
    const Case cases[] = {
        {"empty folder", {handle, endOfFile, closed}, Outcome::succeeds, 0},
        {"three entries", {handle, names(3), endOfFile, closed}, Outcome::succeeds, 3},
        {"server failure", {handle, names(3), status(4), closed}, Outcome::status4, 0},
        {"no entries announced", {handle, names(0), closed}, Outcome::operationFailed, 0},
        {"too many announced", {handle, names(50'001), closed}, Outcome::operationFailed, 0},
    };
    for (const Case& c : cases) {
        ScriptedPeer peer(QList<Step>{handshake} + c.replies);
        peer.wire.handshake();
        QList<FileEntry> entries;
        EXPECT_EQ(outcomeOf([&] { entries = SFTPOperations::list(peer.wire, QStringLiteral("/d")); }), c.expected)
            << c.what;
        EXPECT_EQ(entries.size(), c.entries) << c.what;
        EXPECT_EQ(peer.lastType(), Type::close) << c.what;
    }
}

TEST(ScriptedWire, DownloadsCheckTheFinalSize)
{
    const auto chunk = [](const QByteArray& bytes) { return answer(Type::data, withBlob(bytes)); };
    struct Case {
        const char* what;
        std::optional<qint64> offset;
        QList<Step> replies;
        Outcome expected;
        QByteArray local;
    };
    const Case cases[] = {
        {"whole file",
         {},
         {sized(10), handle, chunk("0123456789"), endOfFile, closed},
         Outcome::succeeds,
         "0123456789"},
        {"grew during the download",
         {},
         {sized(10), handle, chunk("0123456789"), chunk("abcde"), endOfFile, closed},
         Outcome::operationFailed,
         "0123456789abcde"},
        {"offset at the end", 10, {sized(10), handle, endOfFile, closed}, Outcome::succeeds, "0123456789"},
        {"empty data never ends", {}, {sized(10), handle, chunk(""), closed}, Outcome::operationFailed, ""},
    };
    for (const Case& c : cases) {
        TemporaryFolder folder;
        const QString local = c.offset ? folder.write(QStringLiteral("f"), "0123456789") : folder.file("f");
        ScriptedPeer peer(QList<Step>{handshake} + c.replies);
        peer.wire.handshake();
        QList<double> progress;
        EXPECT_EQ(outcomeOf([&] {
                      LocalFile file = LocalFile::open(local, O_WRONLY | O_CREAT);
                      SFTPOperations::download(peer.wire, QStringLiteral("/f"), file, c.offset,
                                               [&](double fraction) { progress.append(fraction); });
                  }),
                  c.expected)
            << c.what;
        QFile file(local);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.what;
        EXPECT_EQ(file.readAll(), c.local) << c.what;
        for (double fraction : progress)
            EXPECT_LE(fraction, 1.0) << c.what;
        EXPECT_EQ(peer.lastType(), Type::close) << c.what;
    }
}

TEST(ScriptedWire, CancellationWinsOverTheLostConnection)
{
    std::promise<void> asked;
    std::promise<void> released;
    std::shared_future<void> gate = released.get_future().share();
    ScriptedPeer peer({handshake, [&asked, gate](const QByteArray&) {
                           asked.set_value();
                           gate.wait();
                           return QByteArray();
                       }});
    peer.wire.handshake();
    std::thread canceller([&] {
        asked.get_future().wait();
        peer.wire.cancel();
        released.set_value();
    });
    EXPECT_EQ(outcomeOf([&] { statRoot(peer.wire); }), Outcome::cancelled);
    canceller.join();
    EXPECT_EQ(outcomeOf([&] { statRoot(peer.wire); }), Outcome::cancelled);
}
