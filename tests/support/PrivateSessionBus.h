#pragma once

#include <QByteArray>
#include <QProcess>
#include <QTemporaryDir>

// A D-Bus session bus of the test's own, with no service folders, so that nothing the machine has
// installed can be started on it. The daemon is stopped by its process id when the object goes.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    // The value for DBUS_SESSION_BUS_ADDRESS.
    const QByteArray& address() const { return m_address; }

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
    QByteArray m_address;
};
