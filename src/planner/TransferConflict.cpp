#include "TransferConflict.h"

bool TransferConflict::canResume() const
{
    return !source.isDirectory && !target.isDirectory && source.size && target.size && *target.size > 0 &&
           *target.size < *source.size;
}

bool TransferConflict::allows(ConflictAction action) const
{
    switch (action) {
    case ConflictAction::overwrite: return !source.isDirectory && !target.isDirectory;
    case ConflictAction::resume: return canResume();
    case ConflictAction::rename:
    case ConflictAction::skip: return true;
    case ConflictAction::merge: return source.isDirectory && target.isDirectory;
    }
    return false;
}
