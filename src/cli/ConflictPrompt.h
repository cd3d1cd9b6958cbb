#pragma once

#include "ConflictAction.h"
#include "TransferConflict.h"

#include <QMap>
#include <QString>
#include <optional>

// The terminal's answer to conflicts during one planning request: a fixed action given on the
// command line, or a question on standard error answered on standard input. An answer marked
// for all conflicts of its kind (file over file, folder over folder, ...) is reused without
// asking while the conflict admits it.
class ConflictPrompt {
public:
    explicit ConflictPrompt(std::optional<ConflictAction> fixed);

    // Throws CancellationError when standard input ends before an answer.
    ConflictAction resolve(const TransferConflict& conflict);

    // The actions offered for a conflict, in the order the conflict dialog shows them.
    static QList<ConflictAction> offered(const TransferConflict& conflict);
    static QString kind(const TransferConflict& conflict);

private:
    ConflictAction ask(const TransferConflict& conflict, bool& forAll) const;

    std::optional<ConflictAction> fixed;
    QMap<QString, ConflictAction> remembered;
};
