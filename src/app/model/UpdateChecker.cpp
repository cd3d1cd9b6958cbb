#include "UpdateChecker.h"

#include "AppModel.h"
#include "CancellationError.h"
#include "DesktopServices.h"
#include "FTPError.h"
#include "L10n.h"
#include "Prompter.h"
#include "UpdateCheck.h"

namespace {

std::exception_ptr failure(const char* key)
{
    return std::make_exception_ptr(FTPError::message(L(key)));
}

// Hands `use` the result of a network step once it has ended, or the failure that ended it.
template <typename T, typename Use> void afterStep(QFuture<T> step, QObject* context, Use use)
{
    const auto settle = [use](QFuture<T> done) {
        try {
            done.waitForFinished();
            if (done.resultCount() == 0)
                throw CancellationError();
        } catch (...) {
            return use(std::optional<T>(), std::current_exception());
        }
        use(std::optional<T>(done.result()), std::exception_ptr());
    };
    step.then(context, settle).onCanceled(context, [settle, step] { settle(step); });
}

} // namespace

UpdateChecker::UpdateChecker(AppModel& model) : m_model(model) {}

UpdateChecker::~UpdateChecker()
{
    // The aborted request may still reach this object's callbacks, which then find no check.
    ++m_run;
    delete m_check.data();
}

void UpdateChecker::check()
{
    if (checking())
        return;
    m_check = new UpdateCheck();
    const quint64 run = ++m_run;
    Q_EMIT m_model.checkingUpdatesChanged();
    afterStep(m_check->fetchRelease(), &m_model,
              [this, run](const std::optional<UpdateRelease>& release, std::exception_ptr error) {
                  if (!current(run))
                      return;
                  if (!release)
                      return end(error);
                  offer(run, *release);
              });
}

void UpdateChecker::offer(quint64 run, const UpdateRelease& release)
{
    Prompter& prompter = m_model.prompter();
    if (UpdateCheck::runningBuild() >= release.build) {
        const PromptAlert upToDate{PromptAlert::Style::informational, L("update_current"), {}, {L("ok")}};
        return onAnswer(prompter.alert(upToDate), &m_model, -1, [this, run](int) {
            if (current(run))
                end();
        });
    }
    const PromptAlert available{PromptAlert::Style::informational,
                                L("update_available", release.version),
                                release.notesText(L10n::code()),
                                {L("cancel"), L("download")}};
    onAnswer(prompter.alert(available), &m_model, -1, [this, run, release](int answer) {
        if (!current(run))
            return;
        if (answer != 1)
            return end();
        download(run, release);
    });
}

void UpdateChecker::download(quint64 run, const UpdateRelease& release)
{
    afterStep(m_check->downloadPackage(release), &m_model,
              [this, run, release](const std::optional<QString>& package, std::exception_ptr error) {
                  if (!current(run))
                      return;
                  if (!package)
                      return end(error);
                  const PromptAlert ready{PromptAlert::Style::informational,
                                          L("update_ready", release.version),
                                          L("update_install_hint"),
                                          {L("cancel"), L("install_update")}};
                  onAnswer(m_model.prompter().alert(ready), &m_model, -1, [this, run, package](int answer) {
                      if (!current(run))
                          return;
                      if (answer != 1)
                          return end();
                      install(*package);
                  });
              });
}

void UpdateChecker::install(const QString& package)
{
    // The installer replaces the program, which must not quit under a transfer or a request
    // still being planned.
    if (m_model.pendingCount() > 0 || m_model.planning())
        return end(failure("wait_transfers"));
    try {
        DesktopServices::openWithDefault(package);
    } catch (...) {
        return end(failure("update_unavailable"));
    }
    end();
    Q_EMIT m_model.quitRequested();
}

void UpdateChecker::cancel()
{
    if (checking())
        end();
}

void UpdateChecker::end(std::exception_ptr error)
{
    // Deleted later: this may run inside a callback of the check's own request.
    if (UpdateCheck* check = m_check.data()) {
        m_check.clear();
        check->cancel();
        check->deleteLater();
    }
    Q_EMIT m_model.checkingUpdatesChanged();
    m_model.report(error);
}
