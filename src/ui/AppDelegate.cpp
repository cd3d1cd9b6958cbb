#include "AppDelegate.h"

#include "AppModel.h"
#include "L10n.h"
#include "Prompter.h"

#include <QCoreApplication>

AppDelegate::AppDelegate(Prompter& prompter, QObject* parent) : QObject(parent), m_prompter(prompter) {}

void AppDelegate::requestQuit()
{
    if (m_asking)
        return;
    if (!m_model || (m_model->pendingCount() < 1 && !m_model->planning()))
        return quitNow();
    m_asking = true;
    m_prompter
        .alert({PromptAlert::Style::warning,
                L("transfers_active"),
                L("quit_warning"),
                {L("continue_transfers"), L("quit")}})
        .then(this, [this](int answer) {
            m_asking = false;
            if (answer == 1)
                quitNow();
        });
}

void AppDelegate::quitNow()
{
    if (m_model)
        m_model->shutDown();
    Q_EMIT quitting();
    // Ends the event loop without closing the windows first, which would ask again.
    QCoreApplication::exit(0);
}
