#pragma once

#include "ConflictBatchPolicy.h"
#include "FTPClient.h"
#include "TransferItem.h"
#include "TransferPlanner.h"

#include <QString>
#include <exception>
#include <functional>
#include <optional>
#include <stop_token>

// Runs one queue item to its end: the transfer, and up to two retries of a transient failure
// after 2 and then 4 seconds of the engine clock, each after revalidating the item against what
// the server and the disk hold by then. The application's queue and dravik-cli both run their
// items through here. Every call blocks; the callbacks are made on the calling thread.
class TransferRunner {
public:
    enum class ResumeChoice { cancel, resume, startOver };

    struct Callbacks {
        // Asks about a destination that exists; no answer cancels.
        ConflictBatchPolicy::Ask conflict;
        // Whether to continue a download from its checkpoint (the file is named) or start over.
        std::function<ResumeChoice(const QString&)> resume;
        // A line for the activity log.
        std::function<void(const QString&)> record;
        // The item a revalidation made, which replaces the queue entry of the same id.
        std::function<void(const TransferItem&)> replaced;
    };

    static constexpr int maximumRetries = 2;
    // The most items that the queue and dravik-cli run at once.
    static constexpr int maximumSimultaneous = 8;

    explicit TransferRunner(Callbacks callbacks);

    // True when the item was transferred, false when the person chose to skip it when a retry
    // asked again. Throws the failure that ended the last attempt, or CancellationError when
    // stopped or when a revalidation no longer makes the item one file. A `firstFailure` is that of
    // a first attempt already made, in a run with other items.
    bool executeTransfer(TransferItem item, const FTPClient::Progress& progress, std::stop_token token,
                         std::exception_ptr firstFailure = nullptr) const;

    // What a run of several items tells about each, by its index.
    struct BatchEvents {
        std::function<FTPClient::Progress(qsizetype)> progress;
        // False leaves the item and those after it unreached: they neither start nor end.
        std::function<bool(qsizetype)> proceed;
        std::function<void(qsizetype)> started;
        // As executeTransfer ends: transferred, skipped (false), or the failure.
        std::function<void(qsizetype, bool transferred, std::exception_ptr failure)> ended;
    };
    // Runs waiting file items of one profile and one direction in one curl run where it can, each
    // with its own checks, files, progress, outcome and retries; an item is retried alone once the
    // run is over. `stops` are the items' own stops, by index.
    void executeBatch(const QList<TransferItem>& items, const QList<std::stop_token>& stops, const BatchEvents& events,
                      std::stop_token token) const;
    // Whether the item may share a curl run with others: an FTP file that starts afresh.
    static bool batchable(const TransferItem& item);
    // The item made ready to run again over `client`: waiting, without error, planned anew with a
    // fresh conflict policy, and for a download that can continue from its checkpoint, with the
    // person's choice to resume or start over. Only a destination that was there before the item
    // started is asked about again: what an earlier attempt of an upload left on the server is
    // continued, or replaced when it cannot be. Nothing when the person now skips the item.
    // Throws FTPError "destination_changed" when a folder became a file or the reverse,
    // "inaccessible" when a download's source is gone, and CancellationError when the person
    // cancels or the new plan no longer makes the item one file.
    std::optional<TransferItem> revalidate(const TransferItem& item, const FTPClient& client,
                                           std::stop_token token) const;

    // One attempt at the item, over its own client.
    static void perform(const TransferItem& item, const FTPClient::Progress& progress, std::stop_token token);

private:
    TransferPlanner::Resolver resolverFor(const TransferItem& item, ConflictBatchPolicy& policy,
                                          const std::stop_token& token) const;
    std::optional<TransferItem> replanned(TransferItem item, const std::optional<FileEntry>& found,
                                          const std::stop_token& token) const;

    Callbacks callbacks;
};
