#pragma once

#include <chrono>
#include <deque>
#include <optional>

// A running transfer's speed as a moving average over the last few seconds of its progress
// samples, so that one slow or fast moment does not swing the time left shown for it.
class TransferRate {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds window{5};

    // Records that `done` of the transfer (a fraction, or bytes) was done at `at`.
    void add(Clock::time_point at, double done);
    // Units of `done` per second over the window; none until the samples span some time.
    std::optional<double> perSecond() const;
    // Seconds until `total` is done at that speed; none while nothing moves.
    std::optional<double> secondsLeft(double total) const;

private:
    std::deque<std::pair<Clock::time_point, double>> m_samples;
};
