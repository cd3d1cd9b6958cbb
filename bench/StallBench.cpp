// The main thread while the application model opens large folders: the longest the event loop
// goes without turning, measured by a 1 ms timer, while
// - the local pane opens a folder of 100,000 files, until the listing is shown;
// - the model connects to a local ProFTPD and shows its 50,000-entry folder.
// Target: under 16 ms each, one frame, so that a window drawing the model never stutters. The same
// measure over an idle second, and the load averages, show what the machine itself adds.
#include "AppModel.h"
#include "Measurement.h"
#include "PrivateHome.h"
#include "ProFTPDServer.h"
#include "TemporaryFolder.h"
#include "UnattendedPrompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <stdexcept>

namespace {

constexpr int localCount = 100000;
constexpr int remoteCount = 50000;
constexpr double targetMilliseconds = 16;

void writeFiles(const QString& folder, int count)
{
    QDir().mkpath(folder);
    for (int n = 0; n < count; ++n) {
        QFile file(folder + QStringLiteral("/file %1.txt").arg(n));
        if (!file.open(QIODevice::WriteOnly) || !file.resize(n % 4099))
            throw std::runtime_error("cannot write the folder");
    }
}

// The longest gap between two turns of the event loop, in milliseconds, from `start` until `done`
// holds, and how long that took.
struct Stall {
    double longest = 0;
    double total = 0;
};

Stall measure(const std::function<void()>& start, const std::function<bool()>& done)
{
    Stall stall;
    QElapsedTimer clock;
    QElapsedTimer sinceLast;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        stall.longest = std::max(stall.longest, double(sinceLast.nsecsElapsed()) / 1e6);
        sinceLast.restart();
    });
    clock.start();
    sinceLast.start();
    tick.start();
    start();
    // Not QTest::qWaitFor, which sleeps between its turns of the loop.
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (clock.elapsed() > 300000)
            throw std::runtime_error("the folder never showed");
    }
    stall.longest = std::max(stall.longest, double(sinceLast.nsecsElapsed()) / 1e6);
    stall.total = double(clock.nsecsElapsed()) / 1e6;
    return stall;
}

bool print(const char* what, const Stall& stall)
{
    const bool met = stall.longest < targetMilliseconds;
    std::printf("%-44s longest stall %6.1f ms (target under %.0f ms) %s, shown after %.0f ms\n", what, stall.longest,
                targetMilliseconds, met ? "ok" : "OVER", stall.total);
    std::fflush(stdout);
    return met;
}

int run()
{
    ProFTPDServer server;
    writeFiles(server.local(QStringLiteral("/many")), remoteCount);
    TemporaryFolder local;
    writeFiles(local.file(QStringLiteral("many")), localCount);
    UnattendedPrompter prompter;
    AppModel model(prompter);
    // The start-up listing of the Downloads folder is over before the measurement.
    QTest::qWait(200);

    const Stall opened = measure([&] { model.openLocal(local.file(QStringLiteral("many"))); },
                                 [&] { return model.localFiles().size() == localCount; });
    ServerProfile profile = server.profile(FTPProtocol::ftp);
    profile.initialPath = QStringLiteral("/many");
    const Stall connected = measure([&] { model.connect(profile, ProFTPDServer::password()); },
                                    [&] { return model.remoteFiles().size() == remoteCount; });
    QElapsedTimer idle;
    const Stall nothing = measure([&] { idle.start(); }, [&] { return idle.elapsed() >= 1000; });
    const bool localMet = print("open a local folder of 100,000 files", opened);
    const bool remoteMet = print("connect to a folder of 50,000 entries", connected);
    print("nothing, for a second", nothing);
    std::printf("load averages: %s\n", Measurement::load().constData());
    return localMet && remoteMet ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    // The model reads and writes the application's data folder: one of the benchmark's own.
    const PrivateHome home;
    QCoreApplication application(argc, argv);
    try {
        return run();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 1;
    }
}
