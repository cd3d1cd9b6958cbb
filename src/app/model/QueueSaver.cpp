#include "QueueSaver.h"

#include "ErrorText.h"
#include "QueueStore.h"
#include "TransferListModel.h"

void QueueSaver::restored(const TransferListModel& transfers, bool leaveFile)
{
    if (leaveFile)
        m_leftUntilChangedFrom = transfers.savedFormVersion();
}

std::optional<QString> QueueSaver::persist(const TransferListModel& transfers)
{
    const quint64 version = transfers.savedFormVersion();
    if (m_stopped || version == m_leftUntilChangedFrom)
        return std::nullopt;
    m_leftUntilChangedFrom.reset();
    if (m_savedData && version == m_savedVersion)
        return std::nullopt;
    const QByteArray bytes = transfers.savedData();
    if (bytes != m_savedData) {
        try {
            QueueStore::save(bytes);
        } catch (...) {
            return ErrorText::sentence(std::current_exception());
        }
        m_savedData = bytes;
    }
    m_savedVersion = version;
    return std::nullopt;
}
