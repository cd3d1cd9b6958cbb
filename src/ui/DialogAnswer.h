#pragma once

#include "DialogPlacement.h"

#include <QDialog>
#include <QFuture>
#include <QFutureWatcher>
#include <QPromise>
#include <functional>
#include <memory>
#include <optional>

// Opens `dialog` window-modal over its parent, placed as a dialog, and returns the answer as a
// future that finishes exactly once: with `answer()` when the dialog closes, or with `dismissed`
// when the dialog is destroyed unanswered (its window closed under it), so that nobody waits for
// ever. Cancelling the future withdraws the question: the dialog closes. The dialog deletes itself
// once closed.
template <typename T> QFuture<T> openForAnswer(QDialog* dialog, std::function<T()> answer, T dismissed)
{
    auto promise = std::make_shared<QPromise<T>>();
    promise->start();
    const auto finish = [promise](T value) {
        if (promise->future().isFinished())
            return;
        promise->addResult(std::move(value));
        promise->finish();
    };
    QObject::connect(dialog, &QDialog::finished, dialog, [finish, answer] { finish(answer()); });
    QObject::connect(dialog, &QObject::destroyed, [finish, dismissed] { finish(dismissed); });
    auto* asker = new QFutureWatcher<T>(dialog);
    QObject::connect(asker, &QFutureWatcherBase::canceled, dialog, &QDialog::reject);
    asker->setFuture(promise->future());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    DialogPlacement::shared().registerDialog(dialog);
    dialog->open();
    return promise->future();
}

// The same for a dialog that has an answer only when it is accepted: `chosen()` then, and no
// answer when it is cancelled or goes away.
template <typename T> QFuture<std::optional<T>> openForChoice(QDialog* dialog, std::function<std::optional<T>()> chosen)
{
    return openForAnswer<std::optional<T>>(
        dialog,
        [dialog, chosen]() -> std::optional<T> {
            return dialog->result() == QDialog::Accepted ? chosen() : std::nullopt;
        },
        std::nullopt);
}
