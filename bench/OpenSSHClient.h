#pragma once

#include <QString>
#include <QStringList>

class SSHServer;

// OpenSSH's own clients against the fixture's sshd, logging in with the same password, or the same
// passphrase-protected key, through Dravik's askpass helper: what the engine is measured against.
namespace OpenSSHClient {

// Writes the server's host keys, as reached on `port`, to `knownHosts`.
void scan(quint16 port, const QString& knownHosts);
// Runs sftp with the batch file over `port` (the server's own, or a relay in front of it), trusting
// only `knownHosts`; `options` go to sftp before the destination. Returns sftp's complaint when it
// fails, a null string when it succeeds.
QString run(const SSHServer& server, quint16 port, const QString& knownHosts, const QString& batchFile,
            const QStringList& options = {}, bool withKey = false);
// One ssh run of `command` on the server, logged in as run logs in: what any run costs at least.
QString shell(const SSHServer& server, quint16 port, const QString& knownHosts, const QString& command,
              bool withKey = false);

} // namespace OpenSSHClient
