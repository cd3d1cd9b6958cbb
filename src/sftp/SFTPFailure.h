#pragma once

#include "UserFacingError.h"

#include <QtGlobal>

// A request that the server answered with a non-zero SFTP status code.
class SFTPFailure : public UserFacingError {
public:
    explicit SFTPFailure(quint32 status) : code(status) {}

    quint32 status() const { return code; }
    QString errorDescription() const override;

private:
    quint32 code;
};
