#include "ManualClock.h"

#include "CancellationError.h"

#include <chrono>

ManualClock::ManualClock() : base(Clock::now())
{
    EngineClock::install(this);
}

ManualClock::~ManualClock()
{
    EngineClock::install(nullptr);
}

EngineClock::Clock::time_point ManualClock::now() const
{
    std::lock_guard guard(lock);
    return base + offset;
}

void ManualClock::sleep(Clock::duration duration, std::stop_token token) const
{
    std::unique_lock guard(lock);
    const Clock::duration until = offset + duration;
    ++sleepsBegun;
    ++sleeping;
    changed.notify_all();
    changed.wait(guard, token, [&] { return offset >= until; });
    --sleeping;
    CancellationError::check(token);
}

void ManualClock::advance(Clock::duration step)
{
    std::unique_lock guard(lock);
    changed.wait_for(guard, std::chrono::seconds(5), [&] { return sleeping > 0; });
    const long before = sleepsBegun;
    offset += step;
    changed.notify_all();
    changed.wait_for(guard, std::chrono::seconds(5), [&] { return sleepsBegun > before; });
}
