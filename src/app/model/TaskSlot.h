#pragma once

#include "CancellationError.h"
#include "ThreadHandoff.h"

#include <QObject>
#include <QThreadPool>
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

// One kind of task of the model (browse, planning, transfer, feature), of which at most one runs:
// starting a task requests a stop of the one before. The blocking job runs on the pool with a stop
// token; its outcome is handed to `done` on the context's thread (which accepts posted work), always, so that the owner
// can compare its own tokens and drop a stale result. A cancelled job ends soon, because every engine call and every
// wait for an answer reacts to the stop.
class TaskSlot {
public:
    TaskSlot(QThreadPool& pool, QObject& context) : m_pool(pool), m_context(context) {}
    ~TaskSlot() { cancel(); }
    TaskSlot(const TaskSlot&) = delete;
    TaskSlot& operator=(const TaskSlot&) = delete;

    template <typename Result>
    void start(std::function<Result(std::stop_token)> job, std::function<void(TaskOutcome<Result>)> done)
    {
        cancel();
        m_stop = std::stop_source();
        QObject& context = m_context;
        startOnPool(m_pool, [job = std::move(job), done = std::move(done), token = m_stop.get_token(), &context] {
            TaskOutcome<Result> outcome;
            try {
                outcome.value = job(token);
            } catch (...) {
                outcome.error =
                    token.stop_requested() ? std::make_exception_ptr(CancellationError()) : std::current_exception();
            }
            outcome.stopped = token.stop_requested();
            postTo(context, [outcome = std::move(outcome), done]() mutable { done(std::move(outcome)); });
        });
    }

    // Requests a stop of the running job; its outcome still arrives, as a cancellation.
    void cancel() { m_stop.request_stop(); }

private:
    QThreadPool& m_pool;
    QObject& m_context;
    std::stop_source m_stop{std::nostopstate};
};
