#include "FTPError.h"

#include "L10n.h"

FTPError::FTPError(Kind kind, const QString& text, int statusCode, const QString& detail)
    : errorKind(kind), messageText(text), status(statusCode), commandDetail(detail)
{
}

FTPError FTPError::message(const QString& text)
{
    return FTPError(Kind::message, text, 0, {});
}

FTPError FTPError::command(int exitStatus, const QString& detail)
{
    return FTPError(Kind::command, {}, exitStatus, detail);
}

std::optional<int> FTPError::commandStatus(const std::exception_ptr& failure)
{
    if (!failure)
        return std::nullopt;
    try {
        std::rethrow_exception(failure);
    } catch (const FTPError& error) {
        if (error.kind() == Kind::command)
            return error.exitStatus();
    } catch (...) {
    }
    return std::nullopt;
}

static QString sentenceForStatus(int status)
{
    switch (status) {
    case 6: return L("host_not_found");
    case 7: return L("connect_failed");
    case 9:
    case 78: return L("inaccessible");
    case 28: return L("timeout");
    case 60: return L("invalid_certificate");
    case 67: return L("auth_failed");
    default: return L("ftp_error", QString::number(status));
    }
}

QString FTPError::errorDescription() const
{
    if (errorKind == Kind::message)
        return messageText;
    QString sentence = sentenceForStatus(status);
    if (!commandDetail.isEmpty())
        sentence += QLatin1Char('\n') + commandDetail;
    return sentence;
}
