#include "CliCommand.h"
#include "CliOutput.h"
#include "CliSession.h"
#include "ConflictPrompt.h"
#include "FTPError.h"
#include "L10n.h"
#include "RemotePath.h"
#include "TransferPlanner.h"

#include <QDir>
#include <QJsonObject>

namespace {

struct PlanRequest {
    QString remote;
    QString local;
    std::optional<ConflictAction> onConflict;
};

// LOCAL and REMOTE in the order the direction gives, and an optional --on-conflict ACTION.
PlanRequest readRequest(QStringList words, bool upload)
{
    PlanRequest request;
    const qsizetype option = words.indexOf(QStringLiteral("--on-conflict"));
    if (option >= 0) {
        if (option + 1 >= words.size())
            throw UsageError(QStringLiteral("--on-conflict needs an action"));
        request.onConflict = ConflictActions::fromRawValue(words.at(option + 1));
        if (!request.onConflict)
            throw UsageError(QStringLiteral("--on-conflict takes overwrite, resume, rename, skip or merge"));
        words.remove(option, 2);
    }
    if (words.size() != 2)
        throw UsageError(QStringLiteral("plan upload LOCAL REMOTE, or plan download REMOTE LOCAL"));
    request.local = QDir::cleanPath(QDir::current().absoluteFilePath(words.at(upload ? 0 : 1)));
    request.remote = words.at(upload ? 1 : 0);
    if (!RemotePath::isUsable(request.remote))
        throw FTPError::message(L("invalid_remote_path"));
    return request;
}

// What the remote pane would show for the item: its entry in the parent folder's listing.
std::optional<FileEntry> remoteEntry(const FTPClient& client, const QString& remote, const std::stop_token& token)
{
    const QString name = RemotePath::lastComponent(remote);
    if (name.isEmpty())
        return FileEntry{QStringLiteral("/"), true, std::nullopt, std::nullopt};
    for (const FileEntry& entry : client.list(RemotePath::parent(remote), token))
        if (entry.name == name)
            return entry;
    return std::nullopt;
}

void printRecords(const QList<PlannedTransfer>& records)
{
    for (const PlannedTransfer& record : records) {
        QJsonObject object{{QStringLiteral("local"), record.local},
                           {QStringLiteral("remote"), record.remote},
                           {QStringLiteral("directory"), record.directory},
                           {QStringLiteral("exists"), record.exists},
                           {QStringLiteral("overwrite"), record.overwrite}};
        if (record.resumeOffset)
            object.insert(QStringLiteral("resumeOffset"), *record.resumeOffset);
        CliOutput::printJson(object);
    }
    std::fflush(stdout);
}

int plan(CliContext& context)
{
    QStringList words = context.arguments;
    const QString direction = words.isEmpty() ? QString() : words.takeFirst();
    if (direction != QLatin1String("upload") && direction != QLatin1String("download"))
        throw UsageError(QStringLiteral("plan needs upload or download"));
    const bool upload = direction == QLatin1String("upload");
    const PlanRequest request = readRequest(words, upload);
    const CliSession session(context);
    ConflictPrompt prompt(request.onConflict);
    const TransferPlanner::Resolver resolver = [&prompt](const TransferConflict& conflict) {
        return prompt.resolve(conflict);
    };
    session.run([&](const FTPClient& client, const std::stop_token& token) {
        const std::optional<FileEntry> entry = remoteEntry(client, request.remote, token);
        if (upload) {
            printRecords(TransferPlanner::upload(request.local, request.remote, entry, client, 0, resolver, token));
            return;
        }
        if (!entry)
            throw FTPError::message(L("inaccessible"));
        printRecords(TransferPlanner::download(*entry, request.local, request.remote, client, 0, resolver, token));
    });
    return 0;
}

} // namespace

static const CliCommand command(QStringLiteral("plan"),
                                QStringLiteral("plan upload LOCAL REMOTE | plan download REMOTE LOCAL "
                                               "[--on-conflict overwrite|resume|rename|skip|merge]"),
                                plan);
