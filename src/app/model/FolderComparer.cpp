#include "FolderComparer.h"

#include "FolderComparison.h"

FolderComparer::FolderComparer(const PartContext& context, QObject* parent)
    : QObject(parent), m_context(context), m_task(context.pool)
{
    connect(&m_task, &TaskSlot::runningChanged, this, &FolderComparer::comparingChanged);
}

void FolderComparer::setShown(bool shown)
{
    if (shown == m_shown)
        return;
    m_shown = shown;
    Q_EMIT shownChanged();
}

void FolderComparer::compare(const FTPClient& client, const QString& localFolder, const QString& remoteFolder)
{
    if (comparing())
        return;
    m_task.start<QList<ComparisonRow>>(
        [client, localFolder, remoteFolder](std::stop_token token) {
            return FolderComparison::compare(localFolder, remoteFolder, client, token);
        },
        [this](TaskOutcome<QList<ComparisonRow>> outcome) {
            if (!outcome.value)
                return m_context.report(outcome.error);
            m_list.setRows(std::move(*outcome.value));
            Q_EMIT rowsChanged();
            setShown(true);
        });
}
