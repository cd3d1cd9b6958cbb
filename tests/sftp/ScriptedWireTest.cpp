#include "CancellationError.h"
#include "FTPError.h"
#include "L10n.h"
#include "SFTPFailure.h"
#include "SFTPOperations.h"
#include "SFTPPacket.h"
#include "ScriptedPeer.h"
#include "TemporaryFolder.h"

#include <QFile>
#include <future>
#include <gtest/gtest.h>

using Step = ScriptedPeer::Step;
namespace Type = SFTPPacket::Type;

namespace {

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

QByteArray attrsWithSize(const QByteArray& request, quint32 size, qsizetype padding = 0)
{
    QByteArray body;
    SFTPPacket::u32(body, SFTPPacket::Attribute::size);
    SFTPPacket::u64(body, size);
    body.append(QByteArray(padding, '\0'));
    return ScriptedPeer::reply(Type::attrs, request, body);
}

QByteArray data(const QByteArray& request, const QByteArray& bytes)
{
    QByteArray body;
    SFTPPacket::blob(body, bytes);
    return ScriptedPeer::reply(Type::data, request, body);
}

Step answer(std::function<QByteArray(const QByteArray&)> make)
{
    return make;
}

Step raw(const QByteArray& bytes)
{
    return [bytes](const QByteArray&) { return bytes; };
}

void statRoot(SFTPWire& wire)
{
    SFTPOperations::stat(wire, QStringLiteral("/"));
}

} // namespace

TEST(ScriptedWire, FramesAndIdentifiersAreChecked)
{
    const qsizetype largest = SFTPPacket::frameLimit - 1 - 4 - 12;
    struct Case {
        const char* what;
        Step reply;
        Outcome expected;
    };
    const Case cases[] = {
        {"largest frame", answer([&](const QByteArray& r) { return attrsWithSize(r, 1, largest); }), Outcome::succeeds},
        {"frame of zero octets", raw(QByteArray(4, '\0')), Outcome::operationFailed},
        {"frame beyond 4 MiB", raw(QByteArray::fromHex("00400001") + "junk"), Outcome::operationFailed},
        {"someone else's identifier", answer([](const QByteArray& r) {
             QByteArray wrong = r;
             wrong[4] = char(wrong[4] + 1);
             return attrsWithSize(wrong, 1);
         }),
         Outcome::operationFailed},
        {"torn mid-frame", answer([](const QByteArray& r) { return attrsWithSize(r, 1).first(9); }),
         Outcome::lostAfterHandshake},
        {"torn mid-length", raw(QByteArray(2, '\0')), Outcome::lostAfterHandshake},
        {"status failure", answer([](const QByteArray& r) { return ScriptedPeer::status(r, 4); }), Outcome::status4},
        {"reply of another type", answer([](const QByteArray& r) { return ScriptedPeer::handle(r); }),
         Outcome::operationFailed},
    };
    for (const Case& c : cases) {
        ScriptedPeer peer({ScriptedPeer::handshakeStep(), c.reply});
        peer.wire.handshake();
        EXPECT_EQ(outcomeOf([&] { statRoot(peer.wire); }), c.expected) << c.what;
    }
}

TEST(ScriptedWire, LosingThePeerBeforeTheHandshakeIsAFailedConnection)
{
    for (const QByteArray& answer : {QByteArray(), ScriptedPeer::version().first(6)}) {
        ScriptedPeer peer({raw(answer)});
        EXPECT_EQ(outcomeOf([&] { peer.wire.handshake(); }), Outcome::lostBeforeHandshake);
        EXPECT_FALSE(peer.wire.isReady());
    }
    QByteArray wrongVersion;
    SFTPPacket::u8(wrongVersion, Type::version);
    SFTPPacket::u32(wrongVersion, 6);
    ScriptedPeer peer({raw(ScriptedPeer::frame(wrongVersion))});
    EXPECT_EQ(outcomeOf([&] { peer.wire.handshake(); }), Outcome::operationFailed);
}

TEST(ScriptedWire, StatusZeroIsAnAnswerOfItsOwn)
{
    ScriptedPeer peer(
        {ScriptedPeer::handshakeStep(), answer([](const QByteArray& r) { return ScriptedPeer::status(r, 0); })});
    peer.wire.handshake();
    SFTPPacket::Reader reply = peer.wire.request(Type::mkdir, "payload");
    EXPECT_EQ(SFTPPacket::u8(reply), Type::status);
    EXPECT_EQ(SFTPPacket::u32(reply), 0u);
    EXPECT_EQ(ScriptedPeer::idOf(peer.requests().at(1)), 1u);
}

TEST(ScriptedWire, ListingsCloseTheirHandleOnEveryWayOut)
{
    const auto names = [](quint32 count) {
        return answer([count](const QByteArray& r) {
            QByteArray body;
            SFTPPacket::u32(body, count);
            for (quint32 index = 0; index < std::min<quint32>(count, 3); ++index) {
                SFTPPacket::blob(body, QByteArray::number(index));
                SFTPPacket::blob(body, "");
                SFTPPacket::u32(body, 0);
            }
            return ScriptedPeer::reply(Type::name, r, body);
        });
    };
    const Step handle = answer([](const QByteArray& r) { return ScriptedPeer::handle(r); });
    const Step endOfFile = answer([](const QByteArray& r) { return ScriptedPeer::status(r, 1); });
    const Step failure = answer([](const QByteArray& r) { return ScriptedPeer::status(r, 4); });
    const Step closed = answer([](const QByteArray& r) { return ScriptedPeer::status(r, 0); });
    struct Case {
        const char* what;
        QList<Step> replies;
        Outcome expected;
        qsizetype entries;
    };
    const Case cases[] = {
        {"empty folder", {handle, endOfFile, closed}, Outcome::succeeds, 0},
        {"three entries", {handle, names(3), endOfFile, closed}, Outcome::succeeds, 3},
        {"server failure", {handle, names(3), failure, closed}, Outcome::status4, 0},
        {"no entries announced", {handle, names(0), closed}, Outcome::operationFailed, 0},
        {"too many announced", {handle, names(50'001), closed}, Outcome::operationFailed, 0},
    };
    for (const Case& c : cases) {
        ScriptedPeer peer(QList<Step>{ScriptedPeer::handshakeStep()} + c.replies);
        peer.wire.handshake();
        QList<FileEntry> entries;
        EXPECT_EQ(outcomeOf([&] { entries = SFTPOperations::list(peer.wire, QStringLiteral("/d")); }), c.expected)
            << c.what;
        EXPECT_EQ(entries.size(), c.entries) << c.what;
        EXPECT_EQ(peer.requestTypes().last(), Type::close) << c.what;
    }
}

TEST(ScriptedWire, DownloadsCheckTheFinalSize)
{
    const Step handle = answer([](const QByteArray& r) { return ScriptedPeer::handle(r); });
    const Step endOfFile = answer([](const QByteArray& r) { return ScriptedPeer::status(r, 1); });
    const Step closed = answer([](const QByteArray& r) { return ScriptedPeer::status(r, 0); });
    const auto chunk = [](const QByteArray& bytes) {
        return answer([bytes](const QByteArray& r) { return data(r, bytes); });
    };
    const auto sized = [](quint32 size) {
        return answer([size](const QByteArray& r) { return attrsWithSize(r, size); });
    };
    struct Case {
        const char* what;
        std::optional<qint64> offset;
        QList<Step> replies;
        Outcome expected;
        QByteArray local;
    };
    const Case cases[] = {
        {"whole file",
         std::nullopt,
         {sized(10), handle, chunk("0123456789"), endOfFile, closed},
         Outcome::succeeds,
         "0123456789"},
        {"grew during the download",
         std::nullopt,
         {sized(10), handle, chunk("0123456789"), chunk("abcde"), endOfFile, closed},
         Outcome::operationFailed,
         "0123456789abcde"},
        {"offset at the end", 10, {sized(10), handle, endOfFile, closed}, Outcome::succeeds, "0123456789"},
        {"empty data never ends", std::nullopt, {sized(10), handle, chunk(""), closed}, Outcome::operationFailed, ""},
    };
    for (const Case& c : cases) {
        TemporaryFolder folder;
        const QString local = c.offset ? folder.write(QStringLiteral("f"), "0123456789") : folder.file("f");
        ScriptedPeer peer(QList<Step>{ScriptedPeer::handshakeStep()} + c.replies);
        peer.wire.handshake();
        QList<double> progress;
        EXPECT_EQ(outcomeOf([&] {
                      SFTPOperations::download(peer.wire, QStringLiteral("/f"), local, c.offset,
                                               [&](double fraction) { progress.append(fraction); });
                  }),
                  c.expected)
            << c.what;
        QFile file(local);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.what;
        EXPECT_EQ(file.readAll(), c.local) << c.what;
        for (double fraction : progress)
            EXPECT_LE(fraction, 1.0) << c.what;
        EXPECT_EQ(peer.requestTypes().last(), Type::close) << c.what;
    }
}

TEST(ScriptedWire, ResumedUploadOfAChangedDestinationSendsNoData)
{
    TemporaryFolder folder;
    const QString local = folder.write(QStringLiteral("f"), "0123456789");
    ScriptedPeer peer({ScriptedPeer::handshakeStep(), answer([](const QByteArray& r) { return attrsWithSize(r, 3); })});
    peer.wire.handshake();
    try {
        SFTPOperations::upload(peer.wire, local, QStringLiteral("/f"), true, 4, {});
        FAIL() << "resumed onto a changed file";
    } catch (const FTPError& e) {
        EXPECT_EQ(e.text(), L("destination_changed"));
    }
    EXPECT_EQ(peer.requestTypes(), QList<quint8>({Type::init, Type::stat}));
}

TEST(ScriptedWire, CancellationWinsOverTheLostConnection)
{
    std::promise<void> asked;
    std::promise<void> released;
    std::shared_future<void> gate = released.get_future().share();
    ScriptedPeer peer({ScriptedPeer::handshakeStep(), answer([&asked, gate](const QByteArray&) {
                           asked.set_value();
                           gate.wait();
                           return QByteArray();
                       })});
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
