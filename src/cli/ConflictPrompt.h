#pragma once

#include "ConflictBatchPolicy.h"
#include "TransferConflict.h"

#include <QStringList>
#include <optional>

// The terminal's answer to a conflict: a fixed action given on the command line, or a question on
// standard error answered on standard input. What is remembered for the rest of a request is the
// conflict policy's business.
class ConflictPrompt {
public:
    explicit ConflictPrompt(std::optional<ConflictAction> fixed);

    // Removes "--on-conflict ACTION" from `words` and returns the action; throws UsageError for a
    // missing or unknown action.
    static std::optional<ConflictAction> takeOption(QStringList& words);

    // Nothing when standard input ends before an answer.
    std::optional<ConflictAnswer> answer(const TransferConflict& conflict) const;
    ConflictBatchPolicy::Ask ask() const;

private:
    std::optional<ConflictAnswer> askOnTerminal(const TransferConflict& conflict) const;

    std::optional<ConflictAction> fixed;
};
