#include "GrowthProgress.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>

GrowthProgress::GrowthProgress(const LocalFile& file, qint64 start, Progress progress)
    : m_file(file), m_start(start), m_progress(std::move(progress))
{
    m_worker = std::jthread([this](std::stop_token token) {
        std::mutex lock;
        std::condition_variable_any wake;
        std::unique_lock guard(lock);
        while (
            !wake.wait_for(guard, token, std::chrono::milliseconds(100), [&token] { return token.stop_requested(); }))
            report();
    });
}

GrowthProgress::~GrowthProgress()
{
    m_worker.request_stop();
    m_worker.join();
}

void GrowthProgress::report() const
{
    const qint64 total = m_total;
    if (total <= m_start)
        return;
    qint64 size = 0;
    try {
        size = m_file.attributes().size.value_or(0);
    } catch (const std::system_error&) {
        return;
    }
    m_progress(std::clamp(double(size - m_start) / double(total - m_start), 0.0, 1.0));
}
