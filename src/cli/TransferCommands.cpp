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
#include <QSet>
#include <QUuid>
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString overwrite = QStringLiteral("--overwrite");
const QString resumeOffset = QStringLiteral("--resume-offset");
const QString checkpoint = QStringLiteral("--checkpoint");
const QString resume = QStringLiteral("--resume");
const QString parallelOption = u"--parallel"_s;

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

// A download of this request that an earlier run left behind, interrupted, is continued when its
// checkpoint still passes its checks; otherwise its hidden files go, since nothing would use them.
bool continuesEarlierRun(const TransferItem& item, const std::stop_token& token)
{
    if (!DownloadCheckpoint::leftBehind(item.localURL, item.id))
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

// Runs one item through `runner`, with a line on standard output for its end: completed, failed,
// or cancelled when the person skipped it as a retry asked again. A stop ends the run with the
// cancellation.
TransferItem::State runItem(TransferItem item, const TransferRunner& runner, const FTPClient::Progress& progress,
                            const std::stop_token& token)
{
    try {
        item.resumeCheckpoint = !item.upload && !item.directory && continuesEarlierRun(item, token);
        if (!runner.executeTransfer(item, progress, token)) {
            CliOutput::printLine(L("file_skipped", item.fileName()));
            return TransferItem::State::cancelled;
        }
    } catch (...) {
        const std::optional<QString> sentence = ErrorText::sentence(std::current_exception());
        if (token.stop_requested())
            throw CancellationError();
        CliOutput::printLine(sentence ? L("file_error", item.fileName(), *sentence)
                                      : L("file_cancelled", item.fileName()));
        return TransferItem::State::failed;
    }
    CliOutput::printLine(L("file_done", item.fileName()));
    return TransferItem::State::completed;
}

// The items of one request, shared by the threads that run them. Each thread takes the first item
// that may start beside the running ones, and waits while none may.
class SharedItems {
public:
    explicit SharedItems(QList<TransferItem> items) : m_items(std::move(items)) {}

    // The next items to run, one curl run's share for one of `lanes`, by row, marked running; nothing once
    // no item waits or on a stop.
    QList<std::pair<qsizetype, TransferItem>> take(const std::stop_token& token, int lanes)
    {
        std::unique_lock held(m_lock);
        QList<qsizetype> rows;
        m_changed.wait(held, token, [&] {
            rows = TransferItem::startableBatch(m_items, {}, TransferItem::batchLimit(m_items, {}, lanes),
                                                TransferRunner::batchable);
            return !rows.isEmpty() || std::none_of(m_items.cbegin(), m_items.cend(), [](const TransferItem& item) {
                return item.state == TransferItem::State::waiting;
            });
        });
        QList<std::pair<qsizetype, TransferItem>> taken;
        if (token.stop_requested())
            return taken;
        for (const qsizetype row : rows) {
            m_items[row].state = TransferItem::State::running;
            taken.append({row, m_items.at(row)});
        }
        return taken;
    }

    void finish(qsizetype row, TransferItem::State state)
    {
        const std::scoped_lock held(m_lock);
        m_items[row].state = state;
        m_changed.notify_all();
    }

    // Called once every thread has ended.
    int count(TransferItem::State state) const
    {
        return int(std::count_if(m_items.cbegin(), m_items.cend(),
                                 [state](const TransferItem& item) { return item.state == state; }));
    }

private:
    std::mutex m_lock;
    std::condition_variable_any m_changed;
    QList<TransferItem> m_items;
};

// The runner of a request on the terminal. A checkpoint a retry finds was written by this
// request, in this run or an earlier one.
TransferRunner terminalRunner(const ConflictPrompt& prompt)
{
    // One question on the terminal at a time.
    const auto ask = [asking = std::make_shared<std::mutex>(),
                      conflict = prompt.ask()](const TransferConflict& question) {
        const std::scoped_lock one(*asking);
        return conflict(question);
    };
    return TransferRunner({ask, [](const QString&) { return TransferRunner::ResumeChoice::resume; },
                           [](const QString& line) { CliOutput::printError(line); }, [](const TransferItem&) {}});
}

// Items of one server in one curl run, each with its own line as it ends. A download that an
// earlier run left behind goes alone, to be continued. What the run did not reach waits again.
void runBatch(SharedItems& items, const QList<std::pair<qsizetype, TransferItem>>& taken, const TransferRunner& runner,
              const std::stop_token& token)
{
    QList<qsizetype> rows;
    QList<TransferItem> batch;
    for (const auto& [row, item] : taken) {
        if (!item.upload && DownloadCheckpoint::leftBehind(item.localURL, item.id)) {
            TransferItem::State ending = TransferItem::State::failed;
            try {
                ending = runItem(item, runner, {}, token);
            } catch (...) {
                // Only a stop ends an item this way; it ends the whole run.
            }
            items.finish(row, ending);
            continue;
        }
        rows.append(row);
        batch.append(item);
    }
    if (batch.isEmpty())
        return;
    QSet<qsizetype> ended;
    const TransferRunner::BatchEvents events{
        [](qsizetype) { return FTPClient::Progress(); }, [&token](qsizetype) { return !token.stop_requested(); },
        [](qsizetype) {},
        [&](qsizetype at, bool transferred, std::exception_ptr failure) {
            ended.insert(at);
            TransferItem::State state = TransferItem::State::completed;
            const QString name = batch.at(at).fileName();
            if (transferred) {
                CliOutput::printLine(L("file_done", name));
            } else if (!failure) {
                CliOutput::printLine(L("file_skipped", name));
                state = TransferItem::State::cancelled;
            } else {
                state = TransferItem::State::failed;
                const std::optional<QString> sentence = ErrorText::sentence(failure);
                if (!token.stop_requested())
                    CliOutput::printLine(sentence ? L("file_error", name, *sentence) : L("file_cancelled", name));
            }
            items.finish(rows.at(at), state);
        }};
    runner.executeBatch(batch, QList<std::stop_token>(batch.size()), events, token);
    for (qsizetype at = 0; at < batch.size(); ++at)
        if (!ended.contains(at))
            items.finish(rows.at(at),
                         token.stop_requested() ? TransferItem::State::failed : TransferItem::State::waiting);
}

// One of the threads of a run: takes items until none is left. A stop leaves its item failed and
// ends every thread.
void runItems(SharedItems& items, const TransferRunner& runner, int lanes, const std::stop_token& token)
{
    const bool showProgress = lanes == 1;
    for (QList<std::pair<qsizetype, TransferItem>> taken = items.take(token, lanes); !taken.isEmpty();
         taken = items.take(token, lanes)) {
        if (taken.size() > 1) {
            runBatch(items, taken, runner, token);
            continue;
        }
        const auto* next = &taken.first();
        TransferItem::State ending = TransferItem::State::failed;
        {
            // Several bars would overwrite one another on the terminal's last line.
            std::optional<CliProgressBar> bar;
            if (showProgress)
                bar.emplace();
            try {
                ending = runItem(
                    next->second, runner, [&bar](double fraction) { bar ? bar->show(fraction) : void(); }, token);
            } catch (...) {
                // Only a stop ends an item this way; it ends the whole run.
            }
        }
        items.finish(next->first, ending);
    }
}

// Runs the planned records as the queue of the application does, `parallel` at a time and never
// two into one destination, with a line on standard output for each finished item and a summary
// that adds `skippedInPlanning`. A stop ends the run with the cancellation.
bool runRecords(const QList<PlannedTransfer>& records, bool upload, const FTPClient& client,
                const ConflictPrompt& prompt, int parallel, int skippedInPlanning, const std::stop_token& token)
{
    const TransferRunner runner = terminalRunner(prompt);
    QList<TransferItem> planned;
    for (const PlannedTransfer& record : records)
        planned.append(itemFor(record, upload, client));
    SharedItems items(std::move(planned));
    {
        std::vector<std::jthread> workers;
        for (int n = 0; n < std::min(parallel, int(records.size())); ++n)
            workers.emplace_back([&] { runItems(items, runner, parallel, token); });
    }
    if (token.stop_requested())
        throw CancellationError();
    const int failed = items.count(TransferItem::State::failed);
    CliOutput::printLine(
        L("completed_count", QString::number(items.count(TransferItem::State::completed))) + u", "_s +
        L("skipped_count", QString::number(skippedInPlanning + items.count(TransferItem::State::cancelled))) + u", "_s +
        L("failed_count", QString::number(failed)));
    return failed == 0;
}

// Removes "--parallel N" from `words`: how many items run at once, 1 without it.
int takeParallel(QStringList& words)
{
    const qsizetype at = words.indexOf(parallelOption);
    if (at < 0)
        return 1;
    bool ok = false;
    const int count = at + 1 < words.size() ? words.at(at + 1).toInt(&ok) : 0;
    if (!ok || count < 1 || count > TransferRunner::maximumSimultaneous)
        throw UsageError(u"--parallel needs a number from 1 to %1"_s.arg(TransferRunner::maximumSimultaneous));
    words.remove(at, 2);
    return count;
}

int transfer(CliContext& context)
{
    QStringList words = context.arguments;
    const std::optional<ConflictAction> onConflict = ConflictPrompt::takeOption(words);
    const int parallel = takeParallel(words);
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
        int skipped = 0;
        const auto counting = [&ask, &skipped](const TransferConflict& conflict) {
            const ConflictAction action = ask(conflict);
            skipped += action == ConflictAction::skip ? 1 : 0;
            return action;
        };
        const QList<TransferSource> sources =
            upload ? TransferRequest::localSources(words, target) : remoteSources(client, words, localFolder, token);
        // A link to a folder met inside a folder is left out, and said so.
        const auto skippedLink = [&skipped](const QString& remote) {
            CliOutput::printLine(L("link_skipped", remote));
            ++skipped;
        };
        const QList<PlannedTransfer> records =
            TransferRequest::plan(upload, sources, client, counting, token, skippedLink);
        std::fflush(stdout);
        succeeded = runRecords(records, upload, client, prompt, parallel, skipped, token);
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
const CliCommand transferCommand(
    u"transfer"_s,
    u"transfer upload LOCAL... REMOTE-FOLDER | transfer download REMOTE... "
    "LOCAL-FOLDER [--on-conflict overwrite|resume|rename|skip|merge] [--parallel N]"_s,
    u"plan and run a transfer of files and folders as the window's queue does: "
    "conflicts asked about on the terminal, retries, download checkpoints; --parallel runs up to N (1 to 8) "
    "items at once"_s,
    transfer);

} // namespace
