#include "UnixSignalNotifier.h"

#include <cerrno>
#include <csignal>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalSockets[2] = {-1, -1};

// Only async-signal-safe calls here: the byte is read again on the event loop.
void forward(int number)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::send(signalSockets[0], &byte, 1, MSG_DONTWAIT | MSG_NOSIGNAL);
    errno = savedErrno;
}

} // namespace

UnixSignalNotifier::UnixSignalNotifier(std::initializer_list<int> numbers, QObject* parent) : QObject(parent)
{
    if (signalSockets[0] != -1 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0)
        throw std::runtime_error("cannot set up the signal handlers");
    m_notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UnixSignalNotifier::readPending);
    struct sigaction action = {};
    action.sa_handler = forward;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int number : numbers)
        ::sigaction(number, &action, nullptr);
}

void UnixSignalNotifier::readPending()
{
    unsigned char byte = 0;
    while (::recv(signalSockets[1], &byte, 1, MSG_DONTWAIT) == 1)
        Q_EMIT received(byte);
}
