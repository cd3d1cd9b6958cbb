#pragma once

#include "Prompter.h"

#include <QFuture>
#include <QList>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

// The person of the model tests: answers from a script, in order, and a note of every question.
// Without a scripted answer a question is never answered, like a dialog left open.
class ScriptedPrompter : public Prompter {
public:
    QList<int> alertAnswers;
    QList<std::optional<ConflictAnswer>> conflictAnswers;
    QList<std::optional<QString>> folderAnswers;
    QList<std::optional<QString>> applicationAnswers;
    // "alert: <message>", "conflict: <remote path>", "folder: <start>" or "application: <file>",
    // in the order asked.
    QStringList asked;
    // Every alert asked, in order.
    QList<PromptAlert> alerts;
    // What happens in the world while an alert is open, before its scripted answer.
    std::function<void(const PromptAlert&)> onAlert;

    // Questions left open that the asker has withdrawn since.
    int withdrawn() const;

    QFuture<int> alert(const PromptAlert& alert) override;
    QFuture<std::optional<ConflictAnswer>> conflict(const TransferConflict& conflict) override;
    QFuture<std::optional<QString>> chooseFolder(const QString& start) override;
    QFuture<std::optional<QString>> chooseApplication(const QString& file,
                                                      const QList<DesktopApplication>& applications) override;

private:
    template <typename T> QFuture<T> answer(QList<T>& answers);
    std::vector<QFuture<void>> m_unanswered;
};
