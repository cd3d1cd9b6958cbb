#pragma once

#include "Prompter.h"

// For measurements of the model: nobody is asked anything.
class UnattendedPrompter : public Prompter {
public:
    QFuture<int> alert(const PromptAlert&) override { return QtFuture::makeReadyFuture(-1); }
    QFuture<std::optional<ConflictAnswer>> conflict(const TransferConflict&) override
    {
        return QtFuture::makeReadyFuture(std::optional<ConflictAnswer>());
    }
    QFuture<std::optional<QString>> chooseFolder(const QString&) override
    {
        return QtFuture::makeReadyFuture(std::optional<QString>());
    }
    QFuture<std::optional<QString>> chooseApplication(const QString&, const QList<DesktopApplication>&) override
    {
        return QtFuture::makeReadyFuture(std::optional<QString>());
    }
};
