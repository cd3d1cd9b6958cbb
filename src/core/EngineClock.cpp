#include "EngineClock.h"

#include "CancellationError.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {
const EngineClock realClock;
std::atomic<const EngineClock*> installed{&realClock};
} // namespace

EngineClock::Clock::time_point EngineClock::now() const
{
    return Clock::now();
}

void EngineClock::sleep(Clock::duration duration, std::stop_token token) const
{
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock guard(mutex);
    wake.wait_for(guard, token, duration, [] { return false; });
    CancellationError::check(token);
}

const EngineClock& EngineClock::current()
{
    return *installed.load();
}

void EngineClock::install(const EngineClock* clock)
{
    installed.store(clock ? clock : &realClock);
}
