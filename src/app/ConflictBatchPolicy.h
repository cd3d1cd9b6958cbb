#pragma once

#include "ConflictAction.h"
#include "TransferConflict.h"
#include "TransferPlanner.h"

#include <QList>
#include <QMap>
#include <QString>
#include <functional>
#include <optional>
#include <stop_token>

// What the person chose for one conflict.
struct ConflictAnswer {
    ConflictAction action = ConflictAction::skip;
    bool applyToBatch = false;
};

// The answers to the conflicts of one planning request. An answer the person marked for the whole
// batch is reused, without asking, for every later conflict of the same kind (file over file,
// folder over folder, ...) that admits it; anything else is asked. A policy serves one request:
// its memory never carries over to the next.
class ConflictBatchPolicy {
public:
    // Asks a person and blocks until the answer; no answer means the person cancelled.
    using Ask = std::function<std::optional<ConflictAnswer>(const TransferConflict&)>;

    explicit ConflictBatchPolicy(Ask ask);

    // Throws CancellationError when the task is stopped, before or while asking, or when the
    // person cancels: the caller then gives up the whole request.
    ConflictAction resolve(const TransferConflict& conflict, const std::stop_token& token);
    // resolve() in the planner's terms; the policy must outlive the resolver.
    TransferPlanner::Resolver resolver(std::stop_token token);

    // "true-false" for a folder over a file: the source's kind, then the target's.
    static QString kind(const TransferConflict& conflict);
    // The answers a conflict admits, in the order a person is offered them.
    static QList<ConflictAction> offered(const TransferConflict& conflict);

private:
    Ask ask;
    QMap<QString, ConflictAction> remembered;
};
