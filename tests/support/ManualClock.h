#pragma once

#include "EngineClock.h"

#include <condition_variable>
#include <mutex>

// An engine clock that stands still until the test moves it. Installs itself for its lifetime.
class ManualClock : public EngineClock {
public:
    ManualClock();
    ~ManualClock() override;

    Clock::time_point now() const override;
    void sleep(Clock::duration duration, std::stop_token token) const override;

    // Waits (a few real seconds at most) for a sleeper, moves time on by `step`, then waits until
    // some sleeper has woken and gone back to sleep, so that whatever a timer does at that moment
    // has been done.
    void advance(Clock::duration step);

private:
    mutable std::mutex lock;
    mutable std::condition_variable_any changed;
    Clock::time_point base;
    Clock::duration offset{};
    mutable long sleepsBegun = 0;
    mutable int sleeping = 0;
};
