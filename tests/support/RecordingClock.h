#pragma once

#include "CancellationError.h"
#include "EngineClock.h"

#include <mutex>
#include <optional>
#include <vector>

// An engine clock whose back-offs pass at once, noting how long each would have been; optionally
// it stops the task at the sleep of one length. Installs itself for its lifetime.
class RecordingClock : public EngineClock {
public:
    RecordingClock() { EngineClock::install(this); }
    ~RecordingClock() override { EngineClock::install(nullptr); }

    void sleep(Clock::duration duration, std::stop_token token) const override
    {
        {
            const std::lock_guard guard(lock);
            sleeps.push_back(duration);
        }
        if (stopAt == duration)
            stop.request_stop();
        CancellationError::check(token);
    }

    mutable std::mutex lock;
    mutable std::vector<Clock::duration> sleeps;
    std::optional<Clock::duration> stopAt;
    mutable std::stop_source stop;
};
