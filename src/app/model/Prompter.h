#pragma once

#include "ConflictBatchPolicy.h"
#include "DesktopApplication.h"
#include "PromptAlert.h"
#include "TransferConflict.h"

#include <QFuture>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

// Every question the model asks a person goes through this interface: the window answers with
// dialogs, the tests with scripted answers. Each call is made on the main thread and returns at
// once; the answer arrives through the future, which may already be finished.
class Prompter {
public:
    virtual ~Prompter() = default;

    // The index of the chosen button, or -1 when the alert was dismissed without one.
    virtual QFuture<int> alert(const PromptAlert& alert) = 0;
    // No answer means the person cancelled the dialog.
    virtual QFuture<std::optional<ConflictAnswer>> conflict(const TransferConflict& conflict) = 0;
    // A local folder, starting at `start`; no answer means cancelled.
    virtual QFuture<std::optional<QString>> chooseFolder(const QString& start) = 0;
    // The application to open `file` with, by its desktop id; no answer means cancelled.
    virtual QFuture<std::optional<QString>> chooseApplication(const QString& file,
                                                              const QList<DesktopApplication>& applications) = 0;
};

// Hands the answer to `use` on the context's thread; a question whose future is cancelled or
// fails counts as `unanswered`, so that whoever waits always hears back.
template <typename Answer, typename Use>
void onAnswer(QFuture<Answer> question, QObject* context, Answer unanswered, Use use)
{
    question
        .then(context,
              [use, unanswered](QFuture<Answer> done) { use(done.resultCount() > 0 ? done.result() : unanswered); })
        .onCanceled(context, [use, unanswered] { use(unanswered); });
}
