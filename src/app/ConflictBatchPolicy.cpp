#include "ConflictBatchPolicy.h"

#include "CancellationError.h"

using namespace Qt::StringLiterals;

ConflictBatchPolicy::ConflictBatchPolicy(Ask asking) : ask(std::move(asking)) {}

QString ConflictBatchPolicy::kind(const TransferConflict& conflict)
{
    const auto word = [](bool directory) { return directory ? u"true"_s : u"false"_s; };
    return word(conflict.source.isDirectory) + u'-' + word(conflict.target.isDirectory);
}

QList<ConflictAction> ConflictBatchPolicy::offered(const TransferConflict& conflict)
{
    QList<ConflictAction> actions;
    for (ConflictAction action : {ConflictAction::merge, ConflictAction::overwrite, ConflictAction::resume,
                                  ConflictAction::rename, ConflictAction::skip})
        if (conflict.allows(action))
            actions.append(action);
    return actions;
}

ConflictAction ConflictBatchPolicy::resolve(const TransferConflict& conflict, const std::stop_token& token)
{
    CancellationError::check(token);
    const QString conflictKind = kind(conflict);
    const auto found = remembered.constFind(conflictKind);
    if (found != remembered.cend() && conflict.allows(*found))
        return *found;
    const std::optional<ConflictAnswer> answer = ask(conflict);
    // An answer that arrives after the request was stopped must not start anything.
    CancellationError::check(token);
    if (!answer)
        throw CancellationError();
    if (answer->applyToBatch)
        remembered.insert(conflictKind, answer->action);
    return answer->action;
}

TransferPlanner::Resolver ConflictBatchPolicy::resolver(std::stop_token token)
{
    return [this, token = std::move(token)](const TransferConflict& conflict) { return resolve(conflict, token); };
}
