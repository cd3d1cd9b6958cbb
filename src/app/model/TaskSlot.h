#pragma once

#include "CancellationError.h"
#include "ThreadHandoff.h"

#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

// How a task ended, as its owner sees it on the main thread.
template <typename Result> struct TaskOutcome {
    // Present when the job returned.
    std::optional<Result> value;
    // The failure otherwise; once a stop was requested every failure is a cancellation, since
    // the stop may have killed a child before the engine noticed it.
    std::exception_ptr error;
    // A stop was requested, whether or not the job noticed it in time.
    bool stopped = false;
    // The job was still its slot's current one when the outcome arrived. Only a job started with
    // TaskSlot::Late::deliver ever hands over an outcome that is not.
    bool current = true;

    bool cancelled() const
    {
        if (stopped)
            return true;
        try {
            if (error)
                std::rethrow_exception(error);
        } catch (const CancellationError&) {
            return true;
        } catch (...) {
        }
        return false;
    }
};

// One kind of task of a part (browse, planning, a transfer, a feature), of which at most one is
// current. Every start and every cancel counts: it requests a stop of the current job and makes
// whatever that job still delivers stale. A job runs on the pool with a stop token; only the
// current job's outcome reaches `done`, on the main thread, and the slot stops running just
// before. A cancelled job ends soon, because every engine call and every wait for an answer
// reacts to the stop. The slot's destructor cancels and waits for its jobs, and drops their
// deliveries, so that no job outlives the part that owns the slot.
//
// Work made of asynchronous steps rather than one blocking job (network requests, questions) uses
// begin(), bind() and finish() to the same effect.
class TaskSlot : public QObject {
    Q_OBJECT

public:
    // Whether `done` also hears of a job that is no longer current: an outcome with effects
    // that must be kept whoever waits for it.
    enum class Late { drop, deliver };

    explicit TaskSlot(QThreadPool& pool, QObject* parent = nullptr);
    ~TaskSlot() override;
    TaskSlot(const TaskSlot&) = delete;
    TaskSlot& operator=(const TaskSlot&) = delete;

    // From a start until the current job's outcome arrives, or a cancel.
    bool running() const { return m_running; }

    template <typename Result>
    void start(std::function<Result(std::stop_token)> job, std::function<void(TaskOutcome<Result>)> done,
               Late late = Late::drop)
    {
        const quint64 number = begin();
        m_jobs->started();
        startOnPool(m_pool, [this, number, late, job = std::move(job), done = std::move(done),
                             token = m_stop.get_token(), jobs = m_jobs] {
            TaskOutcome<Result> outcome;
            try {
                outcome.value = job(token);
            } catch (...) {
                outcome.error =
                    token.stop_requested() ? std::make_exception_ptr(CancellationError()) : std::current_exception();
            }
            outcome.stopped = token.stop_requested();
            postTo(*this, [this, number, late, outcome = std::move(outcome), done]() mutable {
                outcome.current = isCurrent(number);
                if (outcome.current)
                    finish();
                else if (late == Late::drop)
                    return;
                done(std::move(outcome));
            });
            jobs->ended();
        });
    }

    // Requests a stop of the current job, whose outcome is then stale.
    void cancel();

    // Starts a task of asynchronous steps, cancelling the current one; the number of the start.
    quint64 begin();
    // `step`, to run only while the task it was bound in is current; pass the slot as the context
    // of the step's callback so that it is also dropped when the slot is gone.
    template <typename Step> auto bind(Step step) const { return bound(std::function(std::move(step))); }
    // The current task ended.
    void finish();

Q_SIGNALS:
    void runningChanged();

private:
    // The jobs of the slot still on the pool, current or not. An atomic rather than a lock, so
    // that the thread sanitizer sees the ending job's work ordered before the wait returns.
    class Jobs {
    public:
        void started() { m_count.fetch_add(1, std::memory_order_relaxed); }
        void ended()
        {
            m_count.fetch_sub(1, std::memory_order_release);
            m_count.notify_all();
        }
        void waitUntilNone() const
        {
            for (int count = m_count.load(std::memory_order_acquire); count != 0;
                 count = m_count.load(std::memory_order_acquire))
                m_count.wait(count, std::memory_order_acquire);
        }

    private:
        std::atomic<int> m_count = 0;
    };

    // Of fixed arguments, so that QFuture::then can tell what the step takes.
    template <typename... Arguments>
    std::function<void(Arguments...)> bound(std::function<void(Arguments...)> step) const
    {
        return [this, number = m_number, step = std::move(step)](Arguments... arguments) {
            if (isCurrent(number))
                step(std::forward<Arguments>(arguments)...);
        };
    }
    bool isCurrent(quint64 number) const { return m_running && number == m_number; }
    void setRunning(bool running);

    QThreadPool& m_pool;
    std::stop_source m_stop{std::nostopstate};
    quint64 m_number = 0;
    bool m_running = false;
    std::shared_ptr<Jobs> m_jobs = std::make_shared<Jobs>();
};
