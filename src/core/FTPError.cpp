#include "FTPError.h"

#include "L10n.h"

#include <QRegularExpression>
#include <optional>

using namespace Qt::StringLiterals;

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

// A server's "550" (no such file, or no permission) to a transfer: curl reports it with the reply
// code after the command it was waiting on, and after a refused STOR that can even be the
// passive-mode reply, so the status alone would blame the connection.
static bool refusedByServer(const QString& detail)
{
    static const QRegularExpression reply(u": 550\\b"_s);
    return reply.match(detail).hasMatch();
}

static std::optional<QString> sentenceForStatus(int status)
{
    switch (status) {
    case 6: return L("host_not_found");
    case 7: return L("connect_failed");
    case 9:
    case 78: return L("inaccessible");
    case 28: return L("timeout");
    case 60: return L("invalid_certificate");
    case 67: return L("auth_failed");
    default: return std::nullopt;
    }
}

QString FTPError::errorDescription() const
{
    if (errorKind == Kind::message)
        return messageText;
    const std::optional<QString> known = sentenceForStatus(status);
    // curl's line would only mislead here: the sentence says all there is to say.
    if (!known && refusedByServer(commandDetail))
        return L("permission_denied");
    QString sentence = known.value_or(L("ftp_error", QString::number(status)));
    // One line wherever it is shown: curl's lines follow the sentence, each after a separator.
    if (!commandDetail.isEmpty())
        sentence += u' ' + commandDetail.split(u'\n', Qt::SkipEmptyParts).join(u"; "_s);
    return sentence;
}
