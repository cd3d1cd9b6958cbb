#include "TransferRate.h"

void TransferRate::add(Clock::time_point at, double done)
{
    m_samples.emplace_back(at, done);
    // The oldest sample that still reaches back to the window's start stays, as its baseline.
    while (m_samples.size() > 2 && m_samples[1].first <= at - window)
        m_samples.pop_front();
}

std::optional<double> TransferRate::perSecond() const
{
    if (m_samples.size() < 2)
        return std::nullopt;
    const std::chrono::duration<double> span = m_samples.back().first - m_samples.front().first;
    if (span.count() <= 0)
        return std::nullopt;
    return (m_samples.back().second - m_samples.front().second) / span.count();
}

std::optional<double> TransferRate::secondsLeft(double total) const
{
    const std::optional<double> rate = perSecond();
    if (!rate || *rate <= 0)
        return std::nullopt;
    return (total - m_samples.back().second) / *rate;
}
