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

using namespace Qt::StringLiterals;

namespace {

struct PlanRequest {
    QString remote;
    QString local;
    std::optional<ConflictAction> onConflict;
    CliOutput::Format format = CliOutput::Format::text;
};

// LOCAL and REMOTE in the order the direction gives, an optional --on-conflict ACTION and --json.
PlanRequest readRequest(QStringList words, bool upload)
{
    PlanRequest request;
    request.onConflict = ConflictPrompt::takeOption(words);
    request.format = CliOutput::takeFormatOption(words);
    if (words.size() != 2)
        throw UsageError(QStringLiteral("plan upload LOCAL REMOTE, or plan download REMOTE LOCAL"));
    request.local = QDir::cleanPath(QDir::current().absoluteFilePath(words.at(upload ? 0 : 1)));
    request.remote = words.at(upload ? 1 : 0);
    if (!RemotePath::isUsable(request.remote))
        throw FTPError::message(L("invalid_remote_path"));
    return request;
}

// The keys compare uses where the two meet: local and remote name the two sides, isDirectory as in
// an entry.
QJsonObject recordJson(const PlannedTransfer& record)
{
    QJsonObject object{{u"local"_s, record.local},
                       {u"remote"_s, record.remote},
                       {u"isDirectory"_s, record.directory},
                       {u"exists"_s, record.exists},
                       {u"overwrite"_s, record.overwrite}};
    if (record.resumeOffset)
        object.insert(u"resumeOffset"_s, *record.resumeOffset);
    return object;
}

// "SOURCE -> DESTINATION", folders with a trailing slash, and what happens to an existing
// destination in the words of the conflict dialog.
QString recordLine(const PlannedTransfer& record, bool upload)
{
    const auto shown = [&record](const QString& path) {
        return record.directory && !path.endsWith(u'/') ? path + u'/' : path;
    };
    QString line =
        shown(upload ? record.local : record.remote) + u" -> "_s + shown(upload ? record.remote : record.local);
    if (record.directory && record.exists)
        line += u"  ("_s + L("merge_folders") + u')';
    else if (record.resumeOffset)
        line += u"  ("_s + L("resume_file") + u')';
    else if (record.overwrite)
        line += u"  ("_s + L("overwrite") + u')';
    return line;
}

void printRecords(const QList<PlannedTransfer>& records, bool upload, CliOutput::Format format)
{
    for (const PlannedTransfer& record : records) {
        if (format == CliOutput::Format::json)
            CliOutput::printJson(recordJson(record));
        else
            CliOutput::printLine(recordLine(record, upload));
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
            printRecords(TransferPlanner::upload(request.local, request.remote, entry, client, 0, resolver, token),
                         upload, request.format);
            return;
        }
        if (!entry)
            throw FTPError::message(L("inaccessible"));
        printRecords(TransferPlanner::download(*entry, request.local, request.remote, client, 0, resolver, token),
                     upload, request.format);
    });
    return 0;
}

} // namespace

static const CliCommand command(u"plan"_s,
                                u"plan upload LOCAL REMOTE | plan download REMOTE LOCAL "
                                "[--on-conflict overwrite|resume|rename|skip|merge] [--json]"_s,
                                u"show what transfer would do with one item, asking about conflicts as it does, "
                                "without moving anything"_s,
                                plan);
