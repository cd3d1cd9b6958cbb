#include "SFTPFailure.h"

#include "L10n.h"

QString SFTPFailure::errorDescription() const
{
    return L("ftp_error", QString::number(code));
}
