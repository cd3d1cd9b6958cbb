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
