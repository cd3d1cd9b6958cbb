#include "Icons.h"
#include "L10n.h"
#include "PrivateHome.h"
#include "PrivateSessionBus.h"

#include <QApplication>
#include <gtest/gtest.h>

// Widget tests: windows drawn off screen, with no desktop and its icon theme behind them. What the
// program says on the session bus stays on a bus of the tests' own.
int main(int argc, char** argv)
{
    const PrivateHome home;
    const PrivateSessionBus bus;
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    Icons::useFallbackTheme();
    L10n::selectForThisRun("en");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
