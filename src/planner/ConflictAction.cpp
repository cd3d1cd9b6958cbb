#include "ConflictAction.h"

namespace ConflictActions {

const QList<ConflictAction>& allCases()
{
    static const QList<ConflictAction> cases{ConflictAction::overwrite, ConflictAction::resume, ConflictAction::rename,
                                             ConflictAction::skip, ConflictAction::merge};
    return cases;
}

QString rawValue(ConflictAction action)
{
    switch (action) {
    case ConflictAction::overwrite: return QStringLiteral("overwrite");
    case ConflictAction::resume: return QStringLiteral("resume");
    case ConflictAction::rename: return QStringLiteral("rename");
    case ConflictAction::skip: return QStringLiteral("skip");
    case ConflictAction::merge: return QStringLiteral("merge");
    }
    return {};
}

std::optional<ConflictAction> fromRawValue(const QString& raw)
{
    for (ConflictAction action : allCases())
        if (rawValue(action) == raw)
            return action;
    return std::nullopt;
}

} // namespace ConflictActions
