#include "AppDelegate.h"

#include "AppModel.h"

#include <QCoreApplication>

AppDelegate::AppDelegate(QObject* parent) : QObject(parent) {}

void AppDelegate::requestQuit()
{
    if (m_asking)
        return;
    if (!m_model)
        return quitNow();
    m_asking = true;
    m_model->confirmStop(StopQuestion::Stop::quit, [this](bool allowed) {
        m_asking = false;
        if (allowed)
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
