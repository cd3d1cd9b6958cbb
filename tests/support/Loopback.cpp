#include "Loopback.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
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
