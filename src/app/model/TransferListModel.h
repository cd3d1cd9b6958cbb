#pragma once

#include "TransferItem.h"

#include <QAbstractListModel>
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QUuid>
#include <optional>

// The transfer queue's entries for the transfer panel, one row per item in queue order. An
// enqueue is one insertion, a state or progress change one row's dataChanged. It also keeps what
// saving needs at hand: each item's saved form, kept up to date as the item changes, and a version
// that moves whenever the saved content may have changed, so that a progress tick costs nothing
// but the row it touches.
class TransferListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        UploadRole,
        FileNameRole,
        StateRole, // TransferItem::State as an int
        ProgressRole,
        ErrorRole, // empty when there is none
        DirectoryRole,
        // While it runs: the bytes done of the total, the speed and the time left, as far as known.
        PaceRole,
    };

    // How a running item moves: its size when known, and its fraction done per second.
    struct Pace {
        std::optional<qint64> total;
        std::optional<double> perSecond;
    };

    using QAbstractListModel::QAbstractListModel;

    const QList<TransferItem>& items() const { return m_items; }
    std::optional<int> row(const QUuid& id) const;
    std::optional<int> firstWaiting() const;
    int pendingCount() const { return m_pending; }
    int completedCount() const { return m_completed; }

    void append(QList<TransferItem> items);
    // Sets the state, then the error; a completed item is also done to the last byte.
    void finish(int row, TransferItem::State state, const std::optional<QString>& error);
    void setProgress(int row, double progress, const Pace& pace = {});
    // The time the pending items still need: the running ones at their pace, each waiting file as
    // long as a running one takes on average, `simultaneous` at a time. None while nothing moves.
    std::optional<double> secondsLeft(int simultaneous) const;
    // "1:05" or "2:03:10": a duration in the language's digits.
    static QString duration(double seconds);
    // Every waiting item becomes cancelled, in one change.
    void cancelWaiting();
    // Puts `item` in the place of the row, which keeps its state when `keepState` is set.
    void replace(int row, TransferItem item, bool keepState = false);
    // Removes every completed, failed or cancelled item, keeping the order of the rest.
    void removeFinished();

    // The content of the queue file for the items as they are now.
    QByteArray savedData() const;
    quint64 savedFormVersion() const { return m_savedFormVersion; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    // pendingCount() or completedCount() changed.
    void countsChanged();

private:
    void count(const TransferItem& item, int sign);
    void changeState(int row, TransferItem::State state);
    QString paceText(const TransferItem& item) const;

    QList<TransferItem> m_items;
    QList<QByteArray> m_records;
    QHash<QUuid, int> m_rows;
    // Running items only.
    QHash<QUuid, Pace> m_paces;
    int m_pending = 0;
    int m_completed = 0;
    quint64 m_savedFormVersion = 0;
};
