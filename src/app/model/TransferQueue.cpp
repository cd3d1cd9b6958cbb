#include "TransferQueue.h"

#include "CancellationError.h"
#include "EngineClock.h"
#include "ErrorText.h"
#include "L10n.h"
#include "LocalAttributes.h"
#include "MainThreadQuestion.h"
#include "Prompter.h"
#include "ThreadHandoff.h"

#include <QSet>
#include <QSettings>
#include <algorithm>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace {

// What the file's progress counts towards, negative when unknown: a download's size as listed, an
// upload's as it is now. It is for display only, so a source that cannot be read is left to the
// transfer to report.
qint64 totalSize(const TransferItem& item)
{
    if (!item.upload)
        return item.listedSize.value_or(-1);
    try {
        const std::optional<LocalAttributes> source = LocalAttributes::readIfPresent(item.localURL);
        return source && source->size ? *source->size : -1;
    } catch (const std::filesystem::filesystem_error&) {
        return -1;
    }
}

} // namespace

TransferQueue::TransferQueue(const PartContext& context, QObject* parent)
    : QObject(parent), m_context(context), m_planningTask(context.pool)
{
    acceptPostedWork(*this);
    m_simultaneous = std::clamp(L10n::preferences().value(QLatin1String(simultaneousKey), 1).toInt(), 1,
                                TransferRunner::maximumSimultaneous);
    connect(&m_list, &TransferListModel::countsChanged, this, &TransferQueue::countsChanged);
    connect(&m_planningTask, &TaskSlot::runningChanged, this, &TransferQueue::planningChanged);
    m_progressTimer.setInterval(progressInterval);
    connect(&m_progressTimer, &QTimer::timeout, this, &TransferQueue::progressTick);
}

void TransferQueue::post(std::function<void()> work)
{
    postTo(*this, std::move(work));
}

void TransferQueue::setPaused(bool paused)
{
    if (paused == m_paused)
        return;
    m_paused = paused;
    if (paused)
        for (const auto& [id, lane] : m_lanes)
            lane.halted->store(true);
    Q_EMIT pausedChanged();
}

void TransferQueue::setSimultaneous(int count)
{
    count = std::clamp(count, 1, TransferRunner::maximumSimultaneous);
    if (count == m_simultaneous)
        return;
    m_simultaneous = count;
    L10n::preferences().setValue(QLatin1String(simultaneousKey), count);
    Q_EMIT simultaneousChanged();
    runNext();
}

void TransferQueue::persist()
{
    if (const std::optional<QString> failure = m_saver.persist(m_list))
        m_context.report(*failure, false);
}

void TransferQueue::restore(QList<TransferItem> items, bool leaveFile)
{
    m_list.append(std::move(items));
    m_saver.restored(m_list, leaveFile);
    persist();
}

ConflictBatchPolicy::Ask TransferQueue::askConflict(const std::stop_token& token)
{
    Prompter& prompter = m_context.prompter;
    return [&queue = *this, &prompter, token](const TransferConflict& question) {
        return askOnMainThread<std::optional<ConflictAnswer>>(
            queue, [&prompter, question] { return prompter.conflict(question); }, std::nullopt, token);
    };
}

TransferRunner TransferQueue::runner(const std::stop_token& token)
{
    Prompter& prompter = m_context.prompter;
    const auto resume = [this, &prompter, token](const QString& fileName) {
        const PromptAlert question{PromptAlert::Style::warning,
                                   L("resume_file"),
                                   fileName + u'\n' + L("resume_hint"),
                                   {L("cancel"), L("resume_file"), L("overwrite")}};
        const int answer = askOnMainThread<int>(
            *this, [&prompter, question] { return prompter.alert(question); }, -1, token);
        return answer == 1   ? TransferRunner::ResumeChoice::resume
               : answer == 2 ? TransferRunner::ResumeChoice::startOver
                             : TransferRunner::ResumeChoice::cancel;
    };
    const auto record = [this](const QString& line) { post([this, line] { m_context.record(line); }); };
    const auto replaced = [this](const TransferItem& item) {
        post([this, item] {
            if (const std::optional<int> row = m_list.row(item.id)) {
                m_list.replace(*row, item, true);
                persist();
            }
        });
    };
    return TransferRunner({askConflict(token), resume, record, replaced});
}

void TransferQueue::enqueue(bool upload, const QList<TransferSource>& sources, const FTPClient& client)
{
    m_planningTask.start<QList<PlannedTransfer>>(
        [this, upload, sources, client](std::stop_token token) {
            ConflictBatchPolicy policy(askConflict(token));
            return TransferRequest::plan(
                upload, sources, client, policy.resolver(token), token,
                [this](const QString& link) { post([this, link] { m_context.record(L("link_skipped", link)); }); });
        },
        [this, upload, client](TaskOutcome<QList<PlannedTransfer>> outcome) {
            if (!outcome.value)
                return m_context.report(outcome.error);
            m_context.record(L10n::plural(u"queued_items"_s, append(*outcome.value, upload, client)));
            runNext();
        });
}

int TransferQueue::append(const QList<PlannedTransfer>& records, bool upload, const FTPClient& client)
{
    QSet<QString> pendingDestinations;
    for (const TransferItem& item : m_list.items())
        if (item.isPending() && item.upload == upload && (!upload || item.client.profile() == client.profile()))
            pendingDestinations.insert(upload ? item.remotePath : item.localURL);
    QList<TransferItem> items;
    items.reserve(records.size());
    for (const PlannedTransfer& record : records)
        if (!pendingDestinations.contains(upload ? record.remote : record.local))
            items.append(TransferItem::planned(record, upload, client));
    const int count = int(items.size());
    m_list.append(std::move(items));
    persist();
    return count;
}

void TransferQueue::runNext()
{
    while (!m_paused && int(m_lanes.size()) < m_simultaneous) {
        QSet<QUuid> held;
        for (const auto& [id, running] : m_running)
            held.insert(id);
        // One at a time stays the queue it always was: an item per curl run.
        const QList<qsizetype> rows = TransferItem::startableBatch(
            m_list.items(), held, TransferItem::batchLimit(m_list.items(), held, m_simultaneous),
            TransferRunner::batchable);
        if (rows.isEmpty())
            return;
        if (rows.size() == 1)
            start(int(rows.first()));
        else
            startBatch(rows);
    }
}

TransferQueue::Lane& TransferQueue::addLane(const QUuid& id, bool batch)
{
    m_progressTimer.start();
    return m_lanes.emplace(id, Lane{std::make_unique<TaskSlot>(m_context.pool), batch}).first->second;
}

void TransferQueue::start(int row)
{
    const TransferItem item = m_list.items().at(row);
    Lane& lane = addLane(item.id, false);
    Running& running = m_running.emplace(item.id, Running{item.id}).first->second;
    itemStarted(item.id);
    lane.task->start<bool>(
        [this, item, progress = running.progress, total = running.total](std::stop_token token) {
            if (!item.directory)
                total->store(totalSize(item), std::memory_order_relaxed);
            // An item the person skips when a retry asks again ends as cancelled.
            if (!runner(token).executeTransfer(
                    item, [progress](double fraction) { progress->store(fraction, std::memory_order_relaxed); }, token))
                throw CancellationError();
            return true;
        },
        [this, id = item.id](TaskOutcome<bool> outcome) {
            finishItem(id, outcome);
            laneEnded(id);
        },
        TaskSlot::Late::deliver);
}

void TransferQueue::startBatch(const QList<qsizetype>& rows)
{
    QList<TransferItem> items;
    QList<std::stop_token> stops;
    QList<Running> held;
    for (const qsizetype row : rows)
        items.append(m_list.items().at(row));
    Lane& lane = addLane(items.first().id, true);
    for (const TransferItem& item : items) {
        Running& running = m_running.emplace(item.id, Running{items.first().id}).first->second;
        stops.append(running.stop->get_token());
        held.append(running);
    }
    const TransferRunner::BatchEvents events{
        [held](qsizetype at) -> FTPClient::Progress {
            return [progress = held.at(at).progress](double fraction) {
                progress->store(fraction, std::memory_order_relaxed);
            };
        },
        [halted = lane.halted](qsizetype) { return !halted->load(); },
        [this, items, held](qsizetype at) {
            held.at(at).total->store(totalSize(items.at(at)), std::memory_order_relaxed);
            post([this, id = items.at(at).id] { itemStarted(id); });
        },
        [this, items](qsizetype at, bool transferred, std::exception_ptr failure) {
            TaskOutcome<bool> outcome;
            if (transferred)
                outcome.value = true;
            else
                outcome.error = failure ? failure : std::make_exception_ptr(CancellationError());
            post([this, id = items.at(at).id, outcome] { finishItem(id, outcome); });
        }};
    lane.task->start<bool>(
        [this, items, stops, events](std::stop_token token) {
            runner(token).executeBatch(items, stops, events, token);
            return true;
        },
        [this, id = items.first().id](TaskOutcome<bool>) { laneEnded(id); }, TaskSlot::Late::deliver);
}

void TransferQueue::itemStarted(const QUuid& id)
{
    const std::optional<int> row = m_list.row(id);
    if (!row || m_list.items().at(*row).state != TransferItem::State::waiting)
        return;
    const TransferItem& item = m_list.items().at(*row);
    m_context.record(L(item.upload ? "uploading_file" : "downloading_file", item.fileName()));
    m_list.finish(*row, TransferItem::State::running, std::nullopt);
    persist();
}

void TransferQueue::progressTick()
{
    const EngineClock::Clock::time_point now = EngineClock::current().now();
    bool moved = false;
    for (auto& [id, running] : m_running) {
        const std::optional<int> row = m_list.row(id);
        const double fraction = running.progress->load(std::memory_order_relaxed);
        if (!row || m_list.items().at(*row).state != TransferItem::State::running)
            continue;
        running.rate.add(now, fraction);
        if (m_list.items().at(*row).progress == fraction)
            continue;
        const qint64 total = running.total->load(std::memory_order_relaxed);
        m_list.setProgress(*row, fraction,
                           {total >= 0 ? std::optional<qint64>(total) : std::nullopt, running.rate.perSecond()});
        moved = true;
    }
    if (moved)
        Q_EMIT timeLeftChanged();
}

void TransferQueue::finishItem(const QUuid& id, const TaskOutcome<bool>& outcome)
{
    m_running.erase(id);
    const std::optional<int> row = m_list.row(id);
    // An item cancelled while its run had not reached it is cancelled already.
    if (!row || !m_list.items().at(*row).isPending())
        return;
    const TransferItem& item = m_list.items().at(*row);
    const QString name = item.fileName();
    const bool upload = item.upload;
    const QUuid profileID = item.client.profile().id;
    if (outcome.value) {
        m_list.finish(*row, TransferItem::State::completed, std::nullopt);
        m_context.record(L("file_done", name));
    } else if (outcome.cancelled()) {
        m_list.finish(*row, TransferItem::State::cancelled, std::nullopt);
        m_context.record(upload ? L("file_cancelled", name) + u". "_s + L("partial_upload")
                                : L("file_cancelled", name));
    } else {
        const QString sentence = ErrorText::sentence(outcome.error).value_or(QString());
        setPaused(true);
        m_list.finish(*row, TransferItem::State::failed, sentence);
        m_context.record(L("file_error", name, sentence));
    }
    persist();
    Q_EMIT timeLeftChanged();
    Q_EMIT transferEnded(profileID);
}

void TransferQueue::laneEnded(const QUuid& lane)
{
    if (const auto ended = m_lanes.find(lane); ended != m_lanes.end()) {
        // This runs inside the slot's own delivery.
        ended->second.task.release()->deleteLater();
        m_lanes.erase(ended);
    }
    std::erase_if(m_running, [&lane](const auto& held) { return held.second.lane == lane; });
    if (m_running.empty())
        m_progressTimer.stop();
    runNext();
}

void TransferQueue::cancel(const QUuid& id)
{
    if (const auto running = m_running.find(id); running != m_running.end()) {
        const Lane& lane = m_lanes.at(running->second.lane);
        if (!lane.batch)
            return lane.task->cancel();
        // A run that has not reached the item yet passes it by, and it is cancelled at once.
        running->second.stop->request_stop();
    }
    if (const std::optional<int> row = m_list.row(id);
        row && m_list.items().at(*row).state != TransferItem::State::running) {
        m_list.finish(*row, TransferItem::State::cancelled, std::nullopt);
        persist();
    }
}

void TransferQueue::cancelAll()
{
    m_planningTask.cancel();
    m_list.cancelWaiting();
    persist();
    for (const auto& [id, lane] : m_lanes) {
        lane.halted->store(true);
        lane.task->cancel();
    }
}

void TransferQueue::retry(const QUuid& id, const std::optional<FTPClient>& live)
{
    const std::optional<int> row = m_list.row(id);
    if (planning() || !row)
        return;
    const TransferItem item = m_list.items().at(*row);
    if (item.state != TransferItem::State::failed && item.state != TransferItem::State::cancelled)
        return;
    if (!live || live->profile() != item.client.profile())
        return m_context.report(L("queue_reconnect"), false);
    replan({item}, *live);
}

QList<TransferItem> TransferQueue::failedItems(const FTPClient& live) const
{
    QList<TransferItem> failed;
    for (const TransferItem& item : m_list.items())
        if (item.state == TransferItem::State::failed && item.client.profile() == live.profile())
            failed.append(item);
    return failed;
}

bool TransferQueue::canRetryAllFailed(const std::optional<FTPClient>& live) const
{
    return !planning() && live && !failedItems(*live).isEmpty();
}

void TransferQueue::retryAllFailed(const std::optional<FTPClient>& live)
{
    if (planning())
        return;
    const QList<TransferItem> failed = live ? failedItems(*live) : QList<TransferItem>();
    if (failed.isEmpty())
        return m_context.report(L("queue_reconnect"), false);
    replan(failed, *live);
}

void TransferQueue::replan(const QList<TransferItem>& items, const FTPClient& live)
{
    m_planningTask.start<QList<TransferItem>>(
        [this, items, client = live](std::stop_token token) {
            QList<TransferItem> again;
            const TransferRunner itemRunner = runner(token);
            for (const TransferItem& item : items)
                if (std::optional<TransferItem> revalidated = itemRunner.revalidate(item, client, token))
                    again.append(std::move(*revalidated));
            return again;
        },
        [this](TaskOutcome<QList<TransferItem>> outcome) {
            if (!outcome.value)
                return m_context.report(outcome.error);
            bool replaced = false;
            for (const TransferItem& again : *outcome.value)
                if (const std::optional<int> current = m_list.row(again.id)) {
                    m_list.replace(*current, again);
                    replaced = true;
                }
            if (!replaced)
                return;
            persist();
            setPaused(false);
            runNext();
        });
}

void TransferQueue::clearFinished()
{
    m_list.removeFinished();
    persist();
}
