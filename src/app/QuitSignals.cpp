#include "QuitSignals.h"

#include "SystemCall.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array handled{SIGTERM, SIGINT, SIGHUP};
// The handler may only write a byte; it finds the pipe here.
volatile sig_atomic_t writeEnd = -1;
struct sigaction previous[handled.size()];

void onSignal(int number)
{
    const int savedErrno = errno;
    const char byte = char(number);
    // A full pipe already holds a request to quit; losing this one changes nothing.
    [[maybe_unused]] const ssize_t written = ::write(writeEnd, &byte, 1);
    errno = savedErrno;
}

} // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent)
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        SystemCall::fail("pipe2");
    writeEnd = m_pipe[1];
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, this, &QuitSignals::readSignals);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t n = 0; n < handled.size(); ++n)
        ::sigaction(handled[n], &action, &previous[n]);
}

QuitSignals::~QuitSignals()
{
    for (size_t n = 0; n < handled.size(); ++n)
        ::sigaction(handled[n], &previous[n], nullptr);
    writeEnd = -1;
    m_notifier.reset();
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void QuitSignals::readSignals()
{
    char bytes[16];
    ssize_t count = 0;
    while ((count = SystemCall::retrying([&] { return ::read(m_pipe[0], bytes, sizeof bytes); })) > 0)
        for (ssize_t n = 0; n < count; ++n)
            Q_EMIT quitRequested(int(bytes[n]));
}
