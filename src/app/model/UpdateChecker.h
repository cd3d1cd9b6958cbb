#pragma once

#include "PartContext.h"
#include "TaskSlot.h"
#include "UpdateRelease.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <exception>
#include <functional>

class UpdateCheck;

// The update check as the person goes through it: the feed, an alert that the program is current
// or one with the new release's notes, the package downloaded and verified, an alert that it is
// ready, and then, with no transfer pending, the package handed to the desktop and the program
// asked to quit through quitRequested(). One check at a time; every ending leaves no partial
// package behind, and a failure is shown and recorded.
class UpdateChecker : public QObject {
    Q_OBJECT

public:
    // `mayInstall` tells whether the program may quit for the installer now.
    UpdateChecker(const PartContext& context, std::function<bool()> mayInstall, QObject* parent = nullptr);
    ~UpdateChecker() override;
    UpdateChecker(const UpdateChecker&) = delete;
    UpdateChecker& operator=(const UpdateChecker&) = delete;

    bool checking() const { return m_steps.running(); }
    // Ignored while a check runs.
    void check();
    // Ends a running check silently, for quitting.
    void cancel();

Q_SIGNALS:
    void checkingChanged();
    // An update was handed to the installer: the program quits now.
    void quitRequested();

private:
    // Each step is bound to the check it belongs to, and dropped once that check has ended.
    void offer(const UpdateRelease& release);
    void download(const UpdateRelease& release);
    void install(const QString& package);
    // Ends the check, reporting `error` unless it is a cancellation.
    void end(std::exception_ptr error = nullptr);

    PartContext m_context;
    std::function<bool()> m_mayInstall;
    QPointer<UpdateCheck> m_check;
    TaskSlot m_steps;
};
