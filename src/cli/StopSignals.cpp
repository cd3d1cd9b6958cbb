#include "StopSignals.h"

#include <atomic>
#include <csignal>
#include <pthread.h>
#include <thread>

namespace StopSignals {

namespace {

enum class Phase { before, running, after };

std::atomic<Phase> phase{Phase::before};
std::stop_source stop;

sigset_t stopSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

[[noreturn]] void endAsTheSignalWould(int signal)
{
    std::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    std::_Exit(128 + signal);
}

void watch()
{
    const sigset_t signals = stopSignals();
    for (;;) {
        int received = 0;
        if (sigwait(&signals, &received) != 0)
            continue;
        switch (phase.load()) {
        case Phase::before: endAsTheSignalWould(received);
        case Phase::running: stop.request_stop(); break;
        case Phase::after: break;
        }
    }
}

} // namespace

void install()
{
    // Threads started later inherit the mask; child processes start with none.
    const sigset_t signals = stopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread(watch).detach();
}

std::stop_token token()
{
    return stop.get_token();
}

Operation::Operation()
{
    phase = Phase::running;
}

Operation::~Operation()
{
    phase = Phase::after;
}

} // namespace StopSignals
