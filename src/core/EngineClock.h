#pragma once

#include <chrono>
#include <stop_token>

// The engines' one source of time: retry back-offs and watchdogs read it, and tests replace it so
// that they never wait for real.
class EngineClock {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~EngineClock() = default;
    virtual Clock::time_point now() const;
    // Sleeps for `duration` or until a stop is requested; throws CancellationError on a stop.
    virtual void sleep(Clock::duration duration, std::stop_token token) const;

    static const EngineClock& current();
    // Installs `clock` (not owned) for the whole process; nullptr restores the real clock.
    static void install(const EngineClock* clock);
};
