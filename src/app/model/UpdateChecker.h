#pragma once

#include "UpdateRelease.h"

#include <QPointer>
#include <QString>
#include <exception>

class AppModel;
class UpdateCheck;

// The update check as the person goes through it: the feed, an alert that the program is current
// or one with the new release's notes, the package downloaded and verified, an alert that it is
// ready, and then, with no transfer pending, the package handed to the desktop and the program
// asked to quit through the model's quitRequested(). One check at a time; every ending leaves no
// partial package behind, and a failure is shown and recorded.
class UpdateChecker {
public:
    explicit UpdateChecker(AppModel& model);
    ~UpdateChecker();
    UpdateChecker(const UpdateChecker&) = delete;
    UpdateChecker& operator=(const UpdateChecker&) = delete;

    bool checking() const { return !m_check.isNull(); }
    // Ignored while a check runs.
    void check();
    // Ends a running check silently, for quitting.
    void cancel();

private:
    // Whether the step of `run` still belongs to the running check.
    bool current(quint64 run) const { return checking() && run == m_run; }
    void offer(quint64 run, const UpdateRelease& release);
    void download(quint64 run, const UpdateRelease& release);
    void install(const QString& package);
    // Ends the check, reporting `error` unless it is a cancellation.
    void end(std::exception_ptr error = nullptr);

    AppModel& m_model;
    QPointer<UpdateCheck> m_check;
    quint64 m_run = 0;
};
