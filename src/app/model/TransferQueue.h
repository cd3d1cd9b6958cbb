#pragma once

#include "PlannedTransfer.h"
#include "QueueSaver.h"
#include "TaskSlot.h"
#include "TransferItem.h"
#include "TransferListModel.h"
#include "TransferRequest.h"
#include "TransferRunner.h"

#include <QList>
#include <QTimer>
#include <QUuid>
#include <atomic>
#include <map>
#include <memory>
#include <optional>

class AppModel;

// The transfer queue: requests planned in the planning slot (asking the person about existing
// destinations), their records queued, and as many items at a time as the person allows run, each
// in a transfer slot of its own through the item runner, with retries, until the queue is empty or
// paused by a hard failure. Items that write to one destination, or into a folder another item
// makes, never run together: the later one waits. Every change of the items is followed by
// persist().
class TransferQueue {
public:
    // How often at most a running transfer's progress reaches its row.
    static constexpr int progressInterval = 50; // milliseconds
    // The preference that keeps how many items run at once.
    static constexpr const char* simultaneousKey = "simultaneousTransfers";

    explicit TransferQueue(AppModel& model);

    TransferListModel& list() { return m_list; }
    const TransferListModel& list() const { return m_list; }
    bool planning() const { return m_planning; }
    bool paused() const { return m_paused; }
    void setPaused(bool paused);
    int simultaneous() const { return m_simultaneous; }
    // Kept in the preferences; limited to 1 to TransferRunner::maximumSimultaneous. More room
    // starts waiting items at once; less lets the running ones finish.
    void setSimultaneous(int count);

    // Puts restored items in place at start-up; with `leaveFile` the file is not written until the
    // queue changes.
    void restore(QList<TransferItem> items, bool leaveFile);
    // Plans the sources over the live connection into the current remote folder, then queues the
    // records. Ignored without a connection, while working, or without sources.
    void enqueue(bool upload, const QList<TransferSource>& sources);
    // Queues planned records as waiting items of `client`, leaving out each one whose destination
    // a pending item already has; the number queued. The queue is saved once for all of them.
    int append(const QList<PlannedTransfer>& records, bool upload, const FTPClient& client);
    void runNext();
    void cancel(const QUuid& id);
    // Stops planning, cancels the waiting items and the running one.
    void cancelAll();
    void retry(const QUuid& id);
    void clearFinished();
    void persist();
    // Stops the running tasks without touching any state, for the model's destructor.
    void cancelTasks();
    // No more saving from now on.
    void stopSaving() { m_saver.stop(); }

    // Moves the latest progress of every running transfer to its row; what the timer calls.
    void progressTick();

private:
    struct Running {
        Running(QThreadPool& pool, QObject& context) : task(pool, context) {}

        TaskSlot task;
        // The engine's latest fraction, written from the worker thread.
        std::shared_ptr<std::atomic<double>> progress = std::make_shared<std::atomic<double>>(0.0);
    };

    // The questions a worker puts to the person through the model's Prompter.
    ConflictBatchPolicy::Ask askConflict(const std::stop_token& token) const;
    TransferRunner runner(const std::stop_token& token);
    void start(int row);
    void finishRunning(const QUuid& id, const TaskOutcome<bool>& outcome);
    void setPlanning(bool planning);
    // Runs on the main thread later; dropped when the model is gone.
    void post(std::function<void()> work) const;

    AppModel& m_model;
    TransferListModel m_list;
    QueueSaver m_saver;
    bool m_paused = false;
    bool m_planning = false;
    int m_simultaneous = 1;
    // By item id; an id returns only once its outcome has arrived, so no result is stale.
    std::map<QUuid, std::unique_ptr<Running>> m_running;
    TaskSlot m_planningTask;
    QTimer m_progressTimer;
};
