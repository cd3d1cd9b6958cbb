#pragma once

#include "FileLock.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <optional>

// One window per session. The first copy of the program owns the bus name
// "app.dravik.application" and serves the method Activate(as arguments) at "/app/dravik/application";
// a later start calls it with its own arguments and ends, leaving the person with the one window
// there is. Without a session bus, a lock file in the data folder keeps a second copy from
// starting, though it cannot raise the first.
class ApplicationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.dravik.application")

public:
    enum class Claim {
        // This process runs the window.
        first,
        // Another one does and has been told; this process ends without an error.
        handedOver,
        // Another one owns the name but did not answer.
        unanswered,
    };

    explicit ApplicationService(const QDBusConnection& bus = QDBusConnection::sessionBus());

    // Owns the name, or hands `arguments` to its owner; must come before anything reads the
    // stores.
    Claim claim(const QStringList& arguments);

public Q_SLOTS:
    Q_SCRIPTABLE void Activate(const QStringList& arguments);

Q_SIGNALS:
    // A later start asked for the window, with its command-line arguments.
    void activated(const QStringList& arguments);

private:
    QDBusConnection m_bus;
    std::optional<FileLock> m_lock;
};
