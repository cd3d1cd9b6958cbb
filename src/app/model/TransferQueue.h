#pragma once

#include "PartContext.h"
#include "PlannedTransfer.h"
#include "QueueSaver.h"
#include "TaskSlot.h"
#include "TransferItem.h"
#include "TransferListModel.h"
#include "TransferRate.h"
#include "TransferRequest.h"
#include "TransferRunner.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <QUuid>
#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>

// The transfer queue: requests planned in the planning slot (asking the person about existing
// destinations), their records queued, and as many items at a time as the person allows run, each
// in a transfer slot of its own through the item runner, with retries, until the queue is empty or
// paused by a hard failure. With more than one at a time, a slot takes a fair share of the waiting
// files of one server and direction, and runs them in one curl run (TransferRunner::executeBatch):
// each stays waiting until the run reaches it. Items that write to one destination, or into a
// folder another item makes, never run together: the later one waits. Every change of the items is
// followed by persist().
class TransferQueue : public QObject {
    Q_OBJECT

public:
    // How often at most a running transfer's progress reaches its row.
    static constexpr int progressInterval = 50; // milliseconds
    // The preference that keeps how many items run at once.
    static constexpr const char* simultaneousKey = "simultaneousTransfers";

    explicit TransferQueue(const PartContext& context, QObject* parent = nullptr);

    TransferListModel& list() { return m_list; }
    const TransferListModel& list() const { return m_list; }
    // A transfer request or a retry is being planned.
    bool planning() const { return m_planningTask.running(); }
    bool paused() const { return m_paused; }
    void setPaused(bool paused);
    int simultaneous() const { return m_simultaneous; }
    // Kept in the preferences; limited to 1 to TransferRunner::maximumSimultaneous. More room
    // starts waiting items at once; less lets the running ones finish.
    void setSimultaneous(int count);

    // Puts restored items in place at start-up; with `leaveFile` the file is not written until the
    // queue changes.
    void restore(QList<TransferItem> items, bool leaveFile);
    // Plans the sources over `client`, then queues the records.
    void enqueue(bool upload, const QList<TransferSource>& sources, const FTPClient& client);
    // Queues planned records as waiting items of `client`, leaving out each one whose destination
    // a pending item already has; the number queued. The queue is saved once for all of them.
    int append(const QList<PlannedTransfer>& records, bool upload, const FTPClient& client);
    void runNext();
    void cancel(const QUuid& id);
    // Stops planning, cancels the waiting items and the running one.
    void cancelAll();
    // Plans a failed or cancelled item again over `live`, which must be a connection of the item's
    // profile ("queue_reconnect" otherwise).
    void retry(const QUuid& id, const std::optional<FTPClient>& live);
    // Whether retryAllFailed over `live` has anything to plan: a failed item of its profile, and
    // no planning under way.
    bool canRetryAllFailed(const std::optional<FTPClient>& live) const;
    // Plans every failed item of `live`'s profile again, in one planning job; items of other
    // profiles wait for their own connection ("queue_reconnect" when none is of this one).
    void retryAllFailed(const std::optional<FTPClient>& live);
    void clearFinished();
    void persist();
    // No more saving from now on.
    void stopSaving() { m_saver.stop(); }

    // Moves the latest progress of every running transfer, and its pace, to its row; what the
    // timer calls.
    void progressTick();

Q_SIGNALS:
    void pausedChanged();
    void simultaneousChanged();
    void planningChanged();
    // pendingCount or completedCount of the list may have changed.
    void countsChanged();
    // The queue's time left may have changed (TransferListModel::secondsLeft).
    void timeLeftChanged();
    // A transfer over a connection of that profile ended, whichever way.
    void transferEnded(const QUuid& profileID);

private:
    // A transfer slot that runs one item, or several of one server in one curl run.
    struct Lane {
        // Deleted later when its outcome arrives, which it delivers itself.
        std::unique_ptr<TaskSlot> task;
        bool batch = false;
        // Set when the queue pauses: a run of several reaches no further item.
        std::shared_ptr<std::atomic<bool>> halted = std::make_shared<std::atomic<bool>>(false);
    };
    // An item a lane holds: running, or waiting for its run to reach it.
    struct Running {
        // The id of the lane's first item.
        QUuid lane;
        // The item's own stop in a run of several.
        std::shared_ptr<std::stop_source> stop = std::make_shared<std::stop_source>();
        // The engine's latest fraction, written from the worker thread.
        std::shared_ptr<std::atomic<double>> progress = std::make_shared<std::atomic<double>>(0.0);
        // The file's size in bytes once the worker knows it; negative until then.
        std::shared_ptr<std::atomic<qint64>> total = std::make_shared<std::atomic<qint64>>(-1);
        TransferRate rate{};
    };

    // The questions a worker puts to the person through the Prompter.
    ConflictBatchPolicy::Ask askConflict(const std::stop_token& token);
    TransferRunner runner(const std::stop_token& token);
    void start(int row);
    void startBatch(const QList<qsizetype>& rows);
    Lane& addLane(const QUuid& id, bool batch);
    // A run has reached a waiting item it holds.
    void itemStarted(const QUuid& id);
    void finishItem(const QUuid& id, const TaskOutcome<bool>& outcome);
    // Lets go of the lane and of the items it did not reach, which wait again.
    void laneEnded(const QUuid& lane);
    QList<TransferItem> failedItems(const FTPClient& live) const;
    // Revalidates the items over `live` and queues them again.
    void replan(const QList<TransferItem>& items, const FTPClient& live);
    // Runs on the main thread later; dropped when the queue is gone.
    void post(std::function<void()> work);

    PartContext m_context;
    TransferListModel m_list;
    QueueSaver m_saver;
    bool m_paused = false;
    int m_simultaneous = 1;
    QTimer m_progressTimer;
    // By item id; a cancelled item's outcome still arrives, as a cancellation.
    std::map<QUuid, Running> m_running;
    // The slots go first, waiting for their jobs, which use the queue. By the id of the lane's first item.
    std::map<QUuid, Lane> m_lanes;
    TaskSlot m_planningTask;
};
