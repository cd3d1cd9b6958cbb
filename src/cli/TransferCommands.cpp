#include "CancellationError.h"
#include "CliCommand.h"
#include "CliOutput.h"
#include "CliProgressBar.h"
#include "CliSession.h"
#include "ConflictPrompt.h"
#include "DownloadCheckpoint.h"
#include "ErrorText.h"
#include "FTPError.h"
#include "L10n.h"
#include "LocalFileSystem.h"
#include "PartialDownload.h"
#include "RemotePath.h"
#include "TransferRequest.h"
#include "TransferRunner.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

const QString overwrite = QStringLiteral("--overwrite");
const QString resumeOffset = QStringLiteral("--resume-offset");
const QString checkpoint = QStringLiteral("--checkpoint");
const QString resume = QStringLiteral("--resume");

std::optional<qint64> offsetOf(const CliArguments& arguments)
{
    const auto value = arguments.values.constFind(resumeOffset);
    if (value == arguments.values.cend())
        return std::nullopt;
    bool ok = false;
    const qint64 offset = value->toLongLong(&ok);
    if (!ok)
        throw UsageError(QStringLiteral("--resume-offset needs a number of bytes"));
    return offset;
}

std::optional<QUuid> checkpointOf(const CliArguments& arguments)
{
    const auto value = arguments.values.constFind(checkpoint);
    if (value == arguments.values.cend()) {
        if (arguments.flags.contains(resume))
            throw UsageError(QStringLiteral("--resume needs --checkpoint UUID"));
        return std::nullopt;
    }
    const QUuid id(*value);
    if (id.isNull())
        throw UsageError(QStringLiteral("--checkpoint needs a UUID"));
    return id;
}

int get(CliContext& context)
{
    const CliArguments arguments =
        CliArguments::read(context.arguments, 2, {overwrite, resume}, {resumeOffset, checkpoint});
    const std::optional<qint64> offset = offsetOf(arguments);
    const std::optional<QUuid> id = checkpointOf(arguments);
    const CliSession session(context);
    CliProgressBar bar;
    session.run([&](const FTPClient& client, std::stop_token token) {
        client.download(
            arguments.positional[0], arguments.positional[1], arguments.flags.contains(overwrite), offset, id,
            arguments.flags.contains(resume), [&bar](double fraction) { bar.show(fraction); }, token);
    });
    return 0;
}

int put(CliContext& context)
{
    const CliArguments arguments = CliArguments::read(context.arguments, 2, {overwrite}, {resumeOffset});
    const std::optional<qint64> offset = offsetOf(arguments);
    const CliSession session(context);
    CliProgressBar bar;
    session.run([&](const FTPClient& client, std::stop_token token) {
        client.upload(
            arguments.positional[0], arguments.positional[1], arguments.flags.contains(overwrite), offset,
            [&bar](double fraction) { bar.show(fraction); }, token);
    });
    return 0;
}

// The remote items of a download into `folder`, each found in its parent folder's listing.
QList<TransferSource> remoteSources(const FTPClient& client, const QStringList& paths, const QString& folder,
                                    const std::stop_token& token)
{
    QList<TransferSource> sources;
    for (const QString& path : paths) {
        if (!RemotePath::isUsable(path))
            throw FTPError::message(L("invalid_remote_path"));
        // The root has no name to give its copy.
        const std::optional<FileEntry> entry =
            RemotePath::lastComponent(path).isEmpty() ? std::nullopt : CliSession::remoteEntry(client, path, token);
        if (!entry)
            throw FTPError::message(L("inaccessible"));
        sources.append({*entry, LocalFileSystem::joining(folder, entry->name), path});
    }
    return sources;
}

// What happened to the items of one request.
struct Tally {
    int completed = 0;
    int skipped = 0;
    int failed = 0;
};

// A download of this request that an earlier run left behind, interrupted, is continued when its
// checkpoint still passes its checks; otherwise its hidden files go, since nothing would use them.
bool continuesEarlierRun(const TransferItem& item, const std::stop_token& token)
{
    const QString partial = DownloadCheckpoint::file(item.localURL, item.id);
    if (!QFileInfo::exists(partial) && !QFileInfo::exists(DownloadCheckpoint::metadata(partial)))
        return false;
    if (!item.resumeOffset) {
        const std::optional<FileEntry> entry = CliSession::remoteEntry(item.client, item.remotePath, token);
        if (entry && !entry->isDirectory &&
            DownloadCheckpoint::offset(item.localURL, item.id, item.client.profile(), item.remotePath, *entry))
            return true;
    }
    PartialDownload::discard(item.localURL, item.id);
    return false;
}

TransferItem itemFor(const PlannedTransfer& record, bool upload, const FTPClient& client)
{
    TransferItem item = TransferItem::planned(record, upload, client);
    if (!upload && !record.directory)
        item.id = DownloadCheckpoint::idFor(client.profile().id, record.remote, record.local);
    return item;
}

// Runs the planned records one at a time, as the queue of the application does, with a line on
// standard output for each finished item and a summary. A stop ends the run with the cancellation.
bool runRecords(const QList<PlannedTransfer>& records, bool upload, const FTPClient& client,
                const ConflictPrompt& prompt, Tally tally, const std::stop_token& token)
{
    const auto note = [](const QString& line) { CliOutput::printError(line); };
    // A checkpoint a retry finds was written by this request, in this run or an earlier one.
    const TransferRunner runner({prompt.ask(), [](const QString&) { return TransferRunner::ResumeChoice::resume; },
                                 note, [](const TransferItem&) {}});
    for (const PlannedTransfer& record : records) {
        TransferItem item = itemFor(record, upload, client);
        try {
            item.resumeCheckpoint = !upload && !record.directory && continuesEarlierRun(item, token);
            CliProgressBar bar;
            if (!runner.executeTransfer(
                    item, [&bar](double fraction) { bar.show(fraction); }, token)) {
                CliOutput::printLine(L("file_skipped", item.fileName()));
                ++tally.skipped;
                continue;
            }
        } catch (...) {
            const std::optional<QString> sentence = ErrorText::sentence(std::current_exception());
            if (token.stop_requested())
                throw CancellationError();
            CliOutput::printLine(sentence ? L("file_error", item.fileName(), *sentence)
                                          : L("file_cancelled", item.fileName()));
            ++tally.failed;
            continue;
        }
        CliOutput::printLine(L("file_done", item.fileName()));
        ++tally.completed;
    }
    CliOutput::printLine(L("completed_count", QString::number(tally.completed)) + u", "_s +
                         L("skipped_count", QString::number(tally.skipped)) + u", "_s +
                         L("failed_count", QString::number(tally.failed)));
    return tally.failed == 0;
}

int transfer(CliContext& context)
{
    QStringList words = context.arguments;
    const std::optional<ConflictAction> onConflict = ConflictPrompt::takeOption(words);
    const QString direction = words.isEmpty() ? QString() : words.takeFirst();
    if ((direction != QLatin1String("upload") && direction != QLatin1String("download")) || words.size() < 2)
        throw UsageError(QStringLiteral("transfer upload LOCAL... REMOTE-FOLDER, or transfer download REMOTE... "
                                        "LOCAL-FOLDER"));
    const bool upload = direction == QLatin1String("upload");
    const QString target = words.takeLast();
    if (upload && !RemotePath::isUsable(target))
        throw FTPError::message(L("invalid_remote_path"));
    const QString localFolder = QDir::cleanPath(QDir::current().absoluteFilePath(target));
    const CliSession session(context);
    const ConflictPrompt prompt(onConflict);
    bool succeeded = false;
    session.run([&](const FTPClient& client, std::stop_token token) {
        ConflictBatchPolicy policy(prompt.ask());
        const TransferPlanner::Resolver ask = policy.resolver(token);
        Tally tally;
        const auto counting = [&ask, &tally](const TransferConflict& conflict) {
            const ConflictAction action = ask(conflict);
            tally.skipped += action == ConflictAction::skip ? 1 : 0;
            return action;
        };
        const QList<TransferSource> sources =
            upload ? TransferRequest::localSources(words, target) : remoteSources(client, words, localFolder, token);
        // A link to a folder met inside a folder is left out, and said so.
        const auto skippedLink = [&tally](const QString& remote) {
            CliOutput::printLine(L("link_skipped", remote));
            ++tally.skipped;
        };
        const QList<PlannedTransfer> records =
            TransferRequest::plan(upload, sources, client, counting, token, skippedLink);
        std::fflush(stdout);
        succeeded = runRecords(records, upload, client, prompt, tally, token);
    });
    return succeeded ? 0 : 1;
}

const CliCommand getCommand(u"get"_s,
                            u"get REMOTE LOCAL [--overwrite] [--resume-offset N] [--checkpoint UUID [--resume]]"_s,
                            u"download one file; --checkpoint names the record that lets --resume continue an "
                            "interrupted download"_s,
                            get);
const CliCommand putCommand(u"put"_s, u"put LOCAL REMOTE [--overwrite] [--resume-offset N]"_s, u"upload one file"_s,
                            put);
const CliCommand transferCommand(u"transfer"_s,
                                 u"transfer upload LOCAL... REMOTE-FOLDER | transfer download REMOTE... "
                                 "LOCAL-FOLDER [--on-conflict overwrite|resume|rename|skip|merge]"_s,
                                 u"plan and run a transfer of files and folders as the window's queue does: "
                                 "conflicts asked about on the terminal, retries, download checkpoints"_s,
                                 transfer);

} // namespace
