#pragma once

#include "FTPClient.h"
#include "PlannedTransfer.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>
#include <functional>
#include <optional>

// One entry of the transfer queue: a folder to create or a file to copy, with the connection it
// was planned with. Its id is also the checkpoint id of a download, so that a retry can continue
// where an interrupted download stopped.
struct TransferItem {
    // Pending means waiting or running; finished means completed, failed or cancelled.
    enum class State { waiting, running, completed, failed, cancelled };

    explicit TransferItem(FTPClient client);
    // A new waiting item for one planned record.
    static TransferItem planned(const PlannedTransfer& record, bool upload, const FTPClient& client);

    QUuid id = QUuid::createUuid();
    bool upload = true;
    // The local path: source of an upload, destination of a download.
    QString localURL;
    // Destination of an upload, source of a download.
    QString remotePath;
    FTPClient client;
    bool directory = false;
    bool overwrite = false;
    // Something was at the destination before the item started, so what is there is not (only)
    // what an attempt of this item wrote. Unknown for an item restored from the queue file.
    bool destinationExisted = true;
    std::optional<qint64> resumeOffset;
    // As planned (PlannedTransfer); not saved, since a restored item is planned again before it runs.
    std::optional<qint64> listedSize;
    bool resumeCheckpoint = false;
    State state = State::waiting;
    double progress = 0;
    std::optional<QString> error;

    bool isPending() const { return state == State::waiting || state == State::running; }
    // The last component of the local path, which is how the item is named to a person.
    QString fileName() const;

    // How many items one of `lanes` runs together: a fair share of what waits, so that no lane
    // sits idle while another holds the queue, and never more than one curl run takes.
    static qsizetype batchLimit(const QList<TransferItem>& items, const QSet<QUuid>& held, int lanes);
    // The rows of the first waiting item that may start beside the running ones and those `held`
    // for a run already (it never writes where one of them or an earlier waiting one writes, nor
    // inside a folder that one of them makes) and, when it is `batchable`, of up to `maximum` in
    // all that may start with it in one run: later waiting items of its profile and direction that
    // are `batchable` too, each of which may start beside all the others.
    static QList<qsizetype> startableBatch(const QList<TransferItem>& items, const QSet<QUuid>& held, qsizetype maximum,
                                           const std::function<bool(const TransferItem&)>& batchable);
};
