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
    request.onConflict = ConflictPrompt::takeOption(words);
    if (words.size() != 2)
        throw UsageError(QStringLiteral("plan upload LOCAL REMOTE, or plan download REMOTE LOCAL"));
    request.local = QDir::cleanPath(QDir::current().absoluteFilePath(words.at(upload ? 0 : 1)));
    request.remote = words.at(upload ? 1 : 0);
    if (!RemotePath::isUsable(request.remote))
        throw FTPError::message(L("invalid_remote_path"));
    return request;
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
    const ConflictPrompt prompt(request.onConflict);
    ConflictBatchPolicy policy(prompt.ask());
    session.run([&](const FTPClient& client, const std::stop_token& token) {
        const TransferPlanner::Resolver resolver = policy.resolver(token);
        const std::optional<FileEntry> entry = CliSession::remoteEntry(client, request.remote, token);
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
