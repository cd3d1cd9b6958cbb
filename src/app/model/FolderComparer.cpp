#include "FolderComparer.h"

#include "AppModel.h"
#include "FolderComparison.h"

FolderComparer::FolderComparer(AppModel& model) : m_model(model) {}

void FolderComparer::setShown(bool shown)
{
    if (shown == m_shown)
        return;
    m_shown = shown;
    Q_EMIT m_model.showComparisonChanged();
}

void FolderComparer::setComparing(bool comparing)
{
    if (comparing == m_comparing)
        return;
    m_comparing = comparing;
    Q_EMIT m_model.comparingChanged();
    m_model.updateWorking();
}

void FolderComparer::abandon()
{
    ++m_task;
    setComparing(false);
}

void FolderComparer::compare()
{
    const std::optional<FTPClient>& live = m_model.client();
    if (!live || m_model.isWorking() || m_comparing)
        return;
    setComparing(true);
    const quint64 task = ++m_task;
    m_model.featureTask().start<QList<ComparisonRow>>(
        [client = *live, local = m_model.localURL(), remote = m_model.remotePath()](std::stop_token token) {
            return FolderComparison::compare(local, remote, client, token);
        },
        [this, task](TaskOutcome<QList<ComparisonRow>> outcome) {
            if (task != m_task)
                return;
            if (outcome.value && !outcome.stopped) {
                m_list.setRows(std::move(*outcome.value));
                Q_EMIT m_model.comparisonChanged();
                setShown(true);
            } else {
                m_model.report(outcome.error);
            }
            setComparing(false);
        });
}
