#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

class TransferListModel;

// Decides when the queue file is written: only when its content changed, never once the program
// is shutting down, and not at all while the file must be left as it is, which is the case after
// a start that could not read it (or could not read the profiles its records need) until the queue
// itself changes. Starting and quitting can then never replace a file with an empty list.
class QueueSaver {
public:
    // After start-up: with `leaveFile`, nothing is written until the queue changes.
    void restored(const TransferListModel& transfers, bool leaveFile);
    // Writes the queue when needed; the sentence of a failure, which leaves the next change to
    // try again.
    std::optional<QString> persist(const TransferListModel& transfers);
    // No more writes, for good.
    void stop() { m_stopped = true; }

private:
    // The exact bytes last written, and the version of the list they were taken from.
    std::optional<QByteArray> m_savedData;
    quint64 m_savedVersion = 0;
    std::optional<quint64> m_leftUntilChangedFrom;
    bool m_stopped = false;
};
