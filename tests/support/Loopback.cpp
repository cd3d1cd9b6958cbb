#include "Loopback.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace Loopback {

namespace {

sockaddr_in address(int port)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(uint16_t(port));
    result.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return result;
}

} // namespace

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in bound = address(0);
    socklen_t length = sizeof bound;
    const bool found = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&bound), length) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) == 0;
    ::close(fd);
    if (!found)
        throw std::runtime_error("no free port");
    return ntohs(bound.sin_port);
}

ServerProfile profile(const QString& name, FTPProtocol protocol, int port, const QString& user, const QString& host)
{
    ServerProfile profile;
    profile.name = name;
    profile.host = host;
    profile.port = port;
    profile.username = user;
    profile.protocolType = protocol;
    return profile;
}

bool answers(int port, const char* greeting, const char* host)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in server = address(port);
    ::inet_pton(AF_INET, host, &server.sin_addr);
    const size_t length = std::strlen(greeting);
    char received[16] = {};
    pollfd readable{fd, POLLIN, 0};
    const bool answered = fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) == 0 &&
                          (length == 0 || (::poll(&readable, 1, 2000) == 1 &&
                                           ::recv(fd, received, length, MSG_WAITALL) == ssize_t(length) &&
                                           std::memcmp(received, greeting, length) == 0));
    ::close(fd);
    return answered;
}

} // namespace Loopback

bool ServerProcess::start(const std::function<ChildProcess::Options(int port)>& command, const char* greeting,
                          const QString& host, int fixedPort)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        serverPort = fixedPort != 0 ? fixedPort : Loopback::freePort();
        process = std::make_unique<ChildProcess>(command(serverPort));
        process->closeStandardInput();
        for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
             std::chrono::steady_clock::now() < deadline && process->isRunning();
             std::this_thread::sleep_for(std::chrono::milliseconds(20)))
            if (Loopback::answers(serverPort, greeting, host.toLatin1().constData()))
                return true;
        stop();
    }
    return false;
}

void ServerProcess::startPrintingPort(const ChildProcess::Options& options)
{
    process = std::make_unique<ChildProcess>(options);
    process->closeStandardInput();
    QByteArray line;
    char c = 0;
    pollfd ready{process->standardOutput(), POLLIN, 0};
    while (!line.endsWith('\n') && ::poll(&ready, 1, 20000) == 1 && ::read(ready.fd, &c, 1) == 1)
        line.append(c);
    serverPort = line.trimmed().toInt();
    if (serverPort == 0)
        throw std::runtime_error(options.program.toStdString() + " printed no port");
}

void ServerProcess::stop()
{
    if (process) {
        process->terminate();
        process->waitForExit();
    }
    process.reset();
}
