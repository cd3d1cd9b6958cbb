#pragma once

#include "CancellationError.h"
#include "ThreadHandoff.h"

#include <QFuture>
#include <QObject>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

// A question a worker needs a person to answer: `ask` runs on the context's thread (where the
// Prompter lives) and the worker waits for the answer, reacting to a stop at once: the question's
// future is then cancelled, which withdraws the question. A question whose future is cancelled or
// fails counts as `unanswered`. Throws CancellationError on a stop.
template <typename Answer>
Answer askOnMainThread(QObject& context, std::function<QFuture<Answer>()> ask, Answer unanswered,
                       const std::stop_token& token)
{
    struct Waiter {
        std::mutex lock;
        std::condition_variable_any arrived;
        std::optional<Answer> answer;
        // Used on the context's thread only.
        QFuture<Answer> question;

        void give(Answer given)
        {
            std::lock_guard guard(lock);
            if (!answer)
                answer = std::move(given);
            arrived.notify_all();
        }
    };
    auto waiter = std::make_shared<Waiter>();
    postTo(context, [waiter, ask = std::move(ask), unanswered, token] {
        // Nobody waits any more: a question now would only puzzle the person.
        if (token.stop_requested())
            return waiter->give(unanswered);
        waiter->question = ask();
        waiter->question.then([waiter](Answer answer) { waiter->give(std::move(answer)); })
            .onCanceled([waiter, unanswered] { waiter->give(unanswered); })
            .onFailed([waiter, unanswered] { waiter->give(unanswered); });
    });
    std::unique_lock guard(waiter->lock);
    waiter->arrived.wait(guard, token, [&] { return waiter->answer.has_value(); });
    if (token.stop_requested()) {
        postTo(context, [waiter] { waiter->question.cancel(); });
        throw CancellationError();
    }
    return *waiter->answer;
}
