#include "TransferRunner.h"

#include "CancellationError.h"
#include "DownloadCheckpoint.h"
#include "EngineClock.h"
#include "ErrorText.h"
#include "FTPBatch.h"
#include "FTPError.h"
#include "L10n.h"
#include "LocalAttributes.h"
#include "LocalFileSystem.h"
#include "TransferPlanner.h"

#include <QFile>
#include <chrono>
#include <filesystem>
#include <utility>

TransferRunner::TransferRunner(Callbacks handlers) : callbacks(std::move(handlers)) {}

void TransferRunner::perform(const TransferItem& item, const FTPClient::Progress& progress, std::stop_token token)
{
    if (item.directory && item.upload)
        return item.client.ensureDirectory(item.remotePath, token);
    if (item.directory) {
        std::filesystem::create_directories(QFile::encodeName(item.localURL).toStdString());
        return;
    }
    if (item.upload)
        return item.client.upload(item.localURL, item.remotePath, item.overwrite, item.resumeOffset, progress, token);
    item.client.download(item.remotePath, item.localURL, item.overwrite, item.resumeOffset, item.id,
                         item.resumeCheckpoint, progress, token);
}

bool TransferRunner::executeTransfer(TransferItem item, const FTPClient::Progress& progress, std::stop_token token,
                                     std::exception_ptr firstFailure) const
{
    for (int attempt = 0;;) {
        CancellationError::check(token);
        try {
            if (firstFailure)
                std::rethrow_exception(std::exchange(firstFailure, nullptr));
            perform(item, progress, token);
            return true;
        } catch (...) {
            if (attempt == maximumRetries || !FTPClient::isTransient(std::current_exception()))
                throw;
        }
        ++attempt;
        callbacks.record(L("reconnecting", QString::number(attempt)));
        EngineClock::current().sleep(std::chrono::seconds(2 * attempt), token);
        std::optional<TransferItem> again = revalidate(item, item.client, token);
        if (!again)
            return false;
        item = std::move(*again);
        callbacks.replaced(item);
    }
}

bool TransferRunner::batchable(const TransferItem& item)
{
    if (item.directory || item.resumeOffset || item.resumeCheckpoint ||
        item.client.profile().protocolType == FTPProtocol::sftp)
        return false;
    if (!item.upload)
        return true;
    if (item.overwrite)
        return false;
    try {
        const auto source = LocalAttributes::readIfPresent(item.localURL);
        return source && source->size && *source->size <= FTPBatch::maximumFileSize;
    } catch (const std::filesystem::filesystem_error&) {
        return false;
    }
}

void TransferRunner::executeBatch(const QList<TransferItem>& items, const QList<std::stop_token>& stops,
                                  const BatchEvents& events, std::stop_token token) const
{
    QList<FTPBatch::File> files;
    for (qsizetype at = 0; at < items.size(); ++at) {
        const TransferItem& item = items.at(at);
        files.append({item.localURL, item.remotePath, item.overwrite,
                      item.upload ? std::nullopt : std::optional(item.id), events.progress(at), stops.at(at)});
    }
    // A transient failure is retried once the run is over, alone. After any other the run reaches
    // no further item, as the queue starts none once an item failed.
    QList<std::pair<qsizetype, std::exception_ptr>> retried;
    bool failed = false;
    const auto proceed = [&](qsizetype at) { return !failed && events.proceed(at); };
    const auto ended = [&](qsizetype at, std::exception_ptr failure) {
        if (failure && FTPClient::isTransient(failure))
            return retried.append({at, failure});
        failed = failed || (failure && ErrorText::sentence(failure));
        events.ended(at, !failure, failure);
    };
    const FTPBatch batch(items.first().client, {proceed, events.started, ended});
    items.first().upload ? batch.upload(files, token) : batch.download(files, token);
    for (const auto& [at, failure] : retried) {
        std::stop_source both;
        const std::stop_callback outer(token, [&both] { both.request_stop(); });
        const std::stop_callback own(stops.at(at), [&both] { both.request_stop(); });
        try {
            const bool transferred = executeTransfer(items.at(at), files.at(at).progress, both.get_token(), failure);
            events.ended(at, transferred, nullptr);
        } catch (...) {
            events.ended(at, false, std::current_exception());
        }
    }
}

std::optional<TransferItem> TransferRunner::revalidate(const TransferItem& item, const FTPClient& client,
                                                       std::stop_token token) const
{
    TransferItem working = item;
    working.client = client;
    working.state = TransferItem::State::waiting;
    working.error.reset();
    working.progress = 0;
    working.overwrite = false;
    working.resumeOffset.reset();
    working.resumeCheckpoint = false;

    // Only the item's own entry, whatever the size of its folder.
    const std::optional<FileEntry> found = client.entry(item.remotePath, token);

    if (item.directory) {
        const bool changed = item.upload ? found && !found->isDirectory : [&] {
            const auto local = LocalFileSystem::attributesIfPresent(item.localURL);
            return local && !local->isDirectory;
        }();
        if (changed)
            throw FTPError::message(L("destination_changed"));
        return working;
    }
    if (!item.upload && (!found || found->isDirectory))
        throw FTPError::message(L("inaccessible"));
    return replanned(std::move(working), found, token);
}

// A download installs its file only once complete, so whatever is at its destination is somebody
// else's. An upload writes the destination itself: what its earlier attempt left there is its own.
TransferPlanner::Resolver TransferRunner::resolverFor(const TransferItem& item, ConflictBatchPolicy& policy,
                                                      const std::stop_token& token) const
{
    TransferPlanner::Resolver ask = policy.resolver(token);
    if (!item.upload || item.destinationExisted)
        return ask;
    return [ask = std::move(ask)](const TransferConflict& conflict) {
        if (conflict.canResume())
            return ConflictAction::resume;
        return conflict.allows(ConflictAction::overwrite) ? ConflictAction::overwrite : ask(conflict);
    };
}

std::optional<TransferItem> TransferRunner::replanned(TransferItem item, const std::optional<FileEntry>& found,
                                                      const std::stop_token& token) const
{
    ConflictBatchPolicy policy(callbacks.conflict);
    const TransferPlanner::Resolver resolver = resolverFor(item, policy, token);
    const QList<PlannedTransfer> plan =
        item.upload
            ? TransferPlanner::upload(item.localURL, item.remotePath, found, item.client, 0, resolver, token)
            : TransferPlanner::download(*found, item.localURL, item.remotePath, item.client, 0, resolver, token);
    if (plan.isEmpty())
        return std::nullopt;
    if (plan.size() != 1 || plan.first().directory)
        throw CancellationError();
    const PlannedTransfer& record = plan.first();
    const bool sameDestination = record.local == item.localURL;
    item.localURL = record.local;
    item.remotePath = record.remote;
    item.overwrite = record.overwrite;
    item.resumeOffset = record.resumeOffset;
    item.listedSize = record.listedSize;
    item.destinationExisted = item.destinationExisted && record.exists;
    if (!item.upload && sameDestination && !record.resumeOffset &&
        DownloadCheckpoint::offset(item.localURL, item.id, item.client.profile(), item.remotePath, *found)) {
        const ResumeChoice choice = callbacks.resume(item.fileName());
        if (choice == ResumeChoice::cancel)
            throw CancellationError();
        item.resumeCheckpoint = choice == ResumeChoice::resume;
    }
    return item;
}
