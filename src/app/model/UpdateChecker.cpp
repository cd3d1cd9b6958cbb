#include "UpdateChecker.h"

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

UpdateChecker::UpdateChecker(const PartContext& context, std::function<bool()> mayInstall, QObject* parent)
    : QObject(parent), m_context(context), m_mayInstall(std::move(mayInstall)), m_steps(context.pool)
{
    connect(&m_steps, &TaskSlot::runningChanged, this, &UpdateChecker::checkingChanged);
}

UpdateChecker::~UpdateChecker()
{
    // The aborted request may still reach this object's callbacks, which then find no check.
    m_steps.cancel();
    delete m_check.data();
}

void UpdateChecker::check()
{
    if (checking())
        return;
    m_check = new UpdateCheck();
    m_steps.begin();
    afterStep(m_check->fetchRelease(), &m_steps,
              m_steps.bind([this](const std::optional<UpdateRelease>& release, std::exception_ptr error) {
                  if (!release)
                      return end(error);
                  offer(*release);
              }));
}

void UpdateChecker::offer(const UpdateRelease& release)
{
    Prompter& prompter = m_context.prompter;
    if (UpdateCheck::runningBuild() >= release.build) {
        const PromptAlert upToDate{PromptAlert::Style::informational, L("update_current"), {}, {L("ok")}};
        return onAnswer(prompter.alert(upToDate), &m_steps, -1, m_steps.bind([this](int) { end(); }));
    }
    const PromptAlert available{PromptAlert::Style::informational,
                                L("update_available", release.version),
                                release.notesText(L10n::code()),
                                {L("cancel"), L("download")}};
    onAnswer(prompter.alert(available), &m_steps, -1, m_steps.bind([this, release](int answer) {
        if (answer != 1)
            return end();
        download(release);
    }));
}

void UpdateChecker::download(const UpdateRelease& release)
{
    afterStep(m_check->downloadPackage(release), &m_steps,
              m_steps.bind([this, release](const std::optional<QString>& package, std::exception_ptr error) {
                  if (!package)
                      return end(error);
                  const PromptAlert ready{PromptAlert::Style::informational,
                                          L("update_ready", release.version),
                                          L("update_install_hint"),
                                          {L("cancel"), L("install_update")}};
                  onAnswer(m_context.prompter.alert(ready), &m_steps, -1, m_steps.bind([this, package](int answer) {
                      if (answer != 1)
                          return end();
                      install(*package);
                  }));
              }));
}

void UpdateChecker::install(const QString& package)
{
    // The installer replaces the program, which must not quit under a transfer or a request
    // still being planned.
    if (!m_mayInstall())
        return end(failure("wait_transfers"));
    try {
        DesktopServices::openWithDefault(package);
    } catch (...) {
        return end(failure("update_unavailable"));
    }
    end();
    Q_EMIT quitRequested();
}

void UpdateChecker::cancel()
{
    if (checking())
        end();
}

void UpdateChecker::end(std::exception_ptr error)
{
    // First, so that the cancelled request's callbacks find no check. Deleted later: this may run
    // inside a callback of the check's own request.
    m_steps.finish();
    if (UpdateCheck* check = m_check.data()) {
        m_check.clear();
        check->cancel();
        check->deleteLater();
    }
    m_context.report(error);
}
