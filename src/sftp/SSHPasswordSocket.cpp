#include "SSHPasswordSocket.h"

#include "FTPError.h"
#include "L10n.h"
#include "PrivateFolder.h"
#include "SecretMemory.h"
#include "SystemCall.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

SSHPasswordSocket::SSHPasswordSocket(const QString& password) : secret(password.toUtf8())
{
    // Fixed under /tmp rather than the per-user temporary folder, so that the path always fits
    // a socket address whatever TMPDIR says.
    folderPath = PrivateFolder::create(QStringLiteral("/tmp"), QStringLiteral("drvk-auth-"));
    socketPath = folderPath + QStringLiteral("/s");

    // Before the server thread starts, close() releases exactly what has been set up so far.
    const auto fail = [this] {
        close();
        throw FTPError::message(L("connect_failed"));
    };

    fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        fail();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray pathBytes = socketPath.toUtf8();
    std::memcpy(address.sun_path, pathBytes.constData(), size_t(pathBytes.size()));
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        fail();
    if (::listen(fd, 4) != 0)
        fail();
    ::chmod(pathBytes.constData(), 0600);
    wake = ::eventfd(0, EFD_CLOEXEC);
    if (wake < 0)
        fail();
    server = std::jthread([this](std::stop_token token) { serve(token); });
}

SSHPasswordSocket::~SSHPasswordSocket()
{
    close();
}

void SSHPasswordSocket::close()
{
    if (server.joinable()) {
        server.request_stop();
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake, &one, sizeof one);
        server.join();
    }
    // The descriptors close only after the server thread is gone, so it never polls a
    // descriptor number that has been reused meanwhile.
    if (fd >= 0)
        ::close(fd);
    if (wake >= 0)
        ::close(wake);
    fd = wake = -1;
    if (!folderPath.isEmpty())
        PrivateFolder::remove(folderPath);
    folderPath.clear();
    SecretMemory::wipe(secret);
}

void SSHPasswordSocket::serve(std::stop_token token)
{
    pollfd events[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
    while (!token.stop_requested()) {
        if (SystemCall::retrying([&] { return ::poll(events, 2, -1); }) < 0)
            return;
        if (events[0].revents & POLLIN)
            serveOne();
    }
}

void SSHPasswordSocket::serveOne()
{
    const int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0)
        return;
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && length == sizeof peer &&
        peer.uid == ::getuid()) {
        const char* data = secret.constData();
        size_t left = size_t(secret.size());
        while (left > 0) {
            const ssize_t sent = SystemCall::retrying([&] { return ::send(client, data, left, MSG_NOSIGNAL); });
            if (sent <= 0)
                break;
            data += sent;
            left -= size_t(sent);
        }
    }
    ::close(client);
}
