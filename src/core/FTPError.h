#pragma once

#include "UserFacingError.h"

#include <QString>
#include <exception>
#include <optional>

// The error the engines raise and the interface shows: either a finished, localised message, or
// a curl run that ended with a non-zero exit status and up to three of its diagnostic lines.
class FTPError : public UserFacingError {
public:
    enum class Kind { message, command };

    static FTPError message(const QString& text);
    static FTPError command(int exitStatus, const QString& detail);

    Kind kind() const { return errorKind; }
    const QString& text() const { return messageText; }
    int exitStatus() const { return status; }
    const QString& detail() const { return commandDetail; }

    QString errorDescription() const override;

    // curl's exit status when `failure` is a run of curl that failed; nothing for anything else.
    static std::optional<int> commandStatus(const std::exception_ptr& failure);

private:
    FTPError(Kind kind, const QString& text, int status, const QString& detail);

    Kind errorKind;
    QString messageText;
    int status = 0;
    QString commandDetail;
};
