#include "ApplicationService.h"

#include "AtomicFile.h"
#include "ProductInfo.h"
#include "ProfileStore.h"

#include <QDBusMessage>

using namespace Qt::StringLiterals;

ApplicationService::ApplicationService(const QDBusConnection& bus) : m_bus(bus) {}

ApplicationService::Claim ApplicationService::claim(const QStringList& arguments)
{
    if (!m_bus.isConnected()) {
        AtomicFile::ensurePrivateFolder(ProfileStore::folder());
        m_lock = FileLock::tryAcquire(ProfileStore::folder() + u"/window.lock"_s);
        return m_lock ? Claim::first : Claim::handedOver;
    }
    // Served before the name is taken, so that a start racing this one never finds the name
    // without the method; calls wait in the bus connection until the window is there.
    m_bus.registerObject(ProductInfo::busObjectPath(), this, QDBusConnection::ExportScriptableSlots);
    if (m_bus.registerService(ProductInfo::applicationID()))
        return Claim::first;
    m_bus.unregisterObject(ProductInfo::busObjectPath());
    QDBusMessage call = QDBusMessage::createMethodCall(ProductInfo::applicationID(), ProductInfo::busObjectPath(),
                                                       ProductInfo::applicationID(), u"Activate"_s);
    call << arguments;
    return m_bus.call(call).type() == QDBusMessage::ReplyMessage ? Claim::handedOver : Claim::unanswered;
}

void ApplicationService::Activate(const QStringList& arguments)
{
    Q_EMIT activated(arguments);
}
