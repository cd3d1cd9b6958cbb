#pragma once

#include "CliCommand.h"
#include "FTPClient.h"
#include "ServerProfile.h"

#include <QList>
#include <QString>

// The server a command works on: a profile file given with --profile, or a saved profile picked
// with --saved, with its password.
namespace CliSession {

// The saved profile whose UUID or name is `nameOrID`; throws when there is none or the name is
// shared by several.
ServerProfile savedProfile(const QList<ServerProfile>& profiles, const QString& nameOrID);
// Throws UsageError when neither --profile nor --saved was given.
FTPClient client(const CliContext& context);

} // namespace CliSession
