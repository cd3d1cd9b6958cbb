#pragma once

#include "CliCommand.h"
#include "FTPClient.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <stop_token>

// The words of a command split into positional arguments, flags and options with a value.
struct CliArguments {
    QStringList positional;
    QSet<QString> flags;
    QHash<QString, QString> values;

    // Throws UsageError for an unknown option, a missing value, or a positional count other than `count`.
    static CliArguments read(const QStringList& words, qsizetype count, const QStringList& flagNames = {},
                             const QStringList& valueNames = {});
};

// What a remote command needs: the client for the chosen profile, and a stop token that Ctrl-C
// (or SIGTERM) triggers while the operation runs; the running curl or ssh child is then
// terminated by the engine.
class CliSession {
public:
    // Reads the profile file or the saved profile and, with --password-stdin, the password from
    // the first line of standard input; a saved profile may have its password remembered instead.
    explicit CliSession(const CliContext& context);

    // Runs `operation`; once a stop was requested every failure counts as the cancellation, since
    // curl may die of the same Ctrl-C before the engine terminates it.
    void run(const std::function<void(const FTPClient&, std::stop_token)>& operation) const;

    // What the remote pane would show for `remote`: its entry as the parent folder's listing has it.
    static std::optional<FileEntry> remoteEntry(const FTPClient& client, const QString& remote,
                                                const std::stop_token& token);

private:
    FTPClient ftp;
};
