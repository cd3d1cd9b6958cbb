#pragma once

#include <QList>
#include <QString>
#include <optional>

// The answers to a destination that already exists, in the order the conflict dialog lists them.
enum class ConflictAction { overwrite, resume, rename, skip, merge };

namespace ConflictActions {

const QList<ConflictAction>& allCases();
QString rawValue(ConflictAction action);
// Exactly the five raw values, case-sensitive; anything else is no action.
std::optional<ConflictAction> fromRawValue(const QString& raw);

} // namespace ConflictActions
