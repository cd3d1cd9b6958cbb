#include "DravikDockTilePlugIn.h"
#include "UnixSignalNotifier.h"

#include <QCoreApplication>
#include <csignal>

// Started by the session's autostart. SIGHUP sets the companion up again, as a dock reloading its
// plug-in would; SIGTERM and SIGINT end it between two icon writes, never during one.
int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    UnixSignalNotifier unixSignals({SIGHUP, SIGTERM, SIGINT});
    DravikDockTilePlugIn plugIn(QDBusConnection::sessionBus());
    QObject::connect(&unixSignals, &UnixSignalNotifier::received, &plugIn, [&plugIn](int number) {
        if (number != SIGHUP) {
            QCoreApplication::quit();
            return;
        }
        plugIn.setDockTile(std::nullopt);
        plugIn.setDockTile(IconThemeTile());
    });
    plugIn.setDockTile(IconThemeTile());
    return QCoreApplication::exec();
}
