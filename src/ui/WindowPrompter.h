#pragma once

#include "Prompter.h"

#include <QPointer>
#include <QWidget>

// The model's questions as real dialogs: each opens window-modal over the main window, is placed
// like every dialog, and answers through its future when it closes. A dialog that goes away
// unanswered (its window closed under it) answers "dismissed" rather than never.
class WindowPrompter : public Prompter {
public:
    explicit WindowPrompter(QWidget* window = nullptr);
    // The window the dialogs open over, for a prompter made before its window.
    void setWindow(QWidget* window) { m_window = window; }

    // Escape and the window's close button dismiss the alert (-1).
    QFuture<int> alert(const PromptAlert& alert) override;
    QFuture<std::optional<ConflictAnswer>> conflict(const TransferConflict& conflict) override;
    QFuture<std::optional<QString>> chooseFolder(const QString& start) override;
    QFuture<std::optional<QString>> chooseApplication(const QString& file,
                                                      const QList<DesktopApplication>& applications) override;

private:
    // The window a question opens over: the dialog already open over the main window (the remote
    // edits, say), or else the main window. Beside such a dialog instead of over it, the question
    // would be blocked by it and get neither the focus nor a single key.
    QWidget* owner() const;

    QPointer<QWidget> m_window;
};
