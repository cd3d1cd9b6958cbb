#include "ScriptedPrompter.h"

#include <algorithm>

template <typename T> QFuture<T> ScriptedPrompter::answer(QList<T>& answers)
{
    if (!answers.isEmpty())
        return QtFuture::makeReadyFuture(answers.takeFirst());
    QFutureInterface<T> open;
    open.reportStarted();
    m_unanswered.push_back(QFuture<void>(open.future()));
    return open.future();
}

QFuture<int> ScriptedPrompter::alert(const PromptAlert& alert)
{
    asked << "alert: " + alert.message;
    alerts << alert;
    if (onAlert)
        onAlert(alert);
    return answer(alertAnswers);
}

QFuture<std::optional<ConflictAnswer>> ScriptedPrompter::conflict(const TransferConflict& conflict)
{
    asked << "conflict: " + conflict.remote;
    return answer(conflictAnswers);
}

QFuture<std::optional<QString>> ScriptedPrompter::chooseFolder(const QString& start)
{
    asked << "folder: " + start;
    return answer(folderAnswers);
}

QFuture<std::optional<QString>> ScriptedPrompter::chooseApplication(const QString& file,
                                                                    const QList<DesktopApplication>&)
{
    asked << "application: " + file;
    return answer(applicationAnswers);
}

int ScriptedPrompter::withdrawn() const
{
    return int(std::count_if(m_unanswered.cbegin(), m_unanswered.cend(),
                             [](const QFuture<void>& question) { return question.isCanceled(); }));
}
