#include "ScriptedPeer.h"

#include "SFTPPacket.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool readExactly(int fd, char* into, size_t count)
{
    while (count > 0) {
        const ssize_t got = ::read(fd, into, count);
        if (got <= 0)
            return false;
        into += got;
        count -= size_t(got);
    }
    return true;
}

} // namespace

ScriptedPeer::ScriptedPeer(QList<Step> steps)
{
    ::signal(SIGPIPE, SIG_IGN);
    ::pipe2(toPeer, O_CLOEXEC);
    ::pipe2(fromPeer, O_CLOEXEC);
    wire.attach(toPeer[1], fromPeer[0]);
    peer = std::thread([this, steps] { run(steps); });
}

ScriptedPeer::~ScriptedPeer()
{
    ::close(toPeer[1]);
    ::close(fromPeer[0]);
    peer.join();
    ::close(toPeer[0]);
}

void ScriptedPeer::run(QList<Step> steps)
{
    for (const Step& step : steps) {
        char length[4];
        if (!readExactly(toPeer[0], length, 4))
            break;
        SFTPPacket::Reader reader{QByteArrayView(length, 4)};
        QByteArray packet(qsizetype(SFTPPacket::u32(reader)), Qt::Uninitialized);
        if (!readExactly(toPeer[0], packet.data(), size_t(packet.size())))
            break;
        {
            std::lock_guard guard(lock);
            received.append(packet);
        }
        const QByteArray answer = step(packet);
        if (::write(fromPeer[1], answer.constData(), size_t(answer.size())) != answer.size())
            break;
    }
    ::close(fromPeer[1]);
}

QList<QByteArray> ScriptedPeer::requests() const
{
    std::lock_guard guard(lock);
    return received;
}

QList<quint8> ScriptedPeer::requestTypes() const
{
    QList<quint8> types;
    for (const QByteArray& request : requests())
        types.append(quint8(request.at(0)));
    return types;
}

QByteArray ScriptedPeer::frame(const QByteArray& packet)
{
    QByteArray bytes;
    SFTPPacket::u32(bytes, quint32(packet.size()));
    return bytes + packet;
}

quint32 ScriptedPeer::idOf(const QByteArray& request)
{
    SFTPPacket::Reader reader{request};
    reader.position = 1;
    return SFTPPacket::u32(reader);
}

QByteArray ScriptedPeer::reply(quint8 type, const QByteArray& request, const QByteArray& body)
{
    QByteArray packet;
    SFTPPacket::u8(packet, type);
    SFTPPacket::u32(packet, idOf(request));
    return frame(packet + body);
}

QByteArray ScriptedPeer::status(const QByteArray& request, quint32 code)
{
    QByteArray body;
    SFTPPacket::u32(body, code);
    SFTPPacket::blob(body, "message");
    SFTPPacket::blob(body, "en");
    return reply(SFTPPacket::Type::status, request, body);
}

QByteArray ScriptedPeer::handle(const QByteArray& request)
{
    QByteArray body;
    SFTPPacket::blob(body, "handle-1");
    return reply(SFTPPacket::Type::handle, request, body);
}

QByteArray ScriptedPeer::version()
{
    QByteArray packet;
    SFTPPacket::u8(packet, SFTPPacket::Type::version);
    SFTPPacket::u32(packet, 3);
    return frame(packet);
}

ScriptedPeer::Step ScriptedPeer::handshakeStep()
{
    return [](const QByteArray&) { return version(); };
}
