#include "TaskSlot.h"

TaskSlot::TaskSlot(QThreadPool& pool, QObject* parent) : QObject(parent), m_pool(pool)
{
    acceptPostedWork(*this);
}

TaskSlot::~TaskSlot()
{
    m_stop.request_stop();
    m_jobs->waitUntilNone();
}

quint64 TaskSlot::begin()
{
    m_stop.request_stop();
    m_stop = std::stop_source();
    ++m_number;
    setRunning(true);
    return m_number;
}

void TaskSlot::cancel()
{
    m_stop.request_stop();
    finish();
}

void TaskSlot::finish()
{
    ++m_number;
    setRunning(false);
}

void TaskSlot::setRunning(bool running)
{
    if (running == m_running)
        return;
    m_running = running;
    Q_EMIT runningChanged();
}

void TaskSlot::Jobs::started()
{
    const std::lock_guard guard(m_lock);
    ++m_count;
}

void TaskSlot::Jobs::ended()
{
    const std::lock_guard guard(m_lock);
    --m_count;
    m_none.notify_all();
}

void TaskSlot::Jobs::waitUntilNone()
{
    std::unique_lock guard(m_lock);
    m_none.wait(guard, [this] { return m_count == 0; });
}
