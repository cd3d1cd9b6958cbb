// The desktop program at scale, drawn off screen:
// - start-up to a shown window with 20 saved profiles and 1,000 restored queue items, counted
//   from the start of main() (target: 0.5 s at most);
// - the server's pane with a 50,000-entry listing from a local ProFTPD: a sort by name (target:
//   150 ms at most) and by size (100 ms at most), each until the table has been painted again,
//   and one keystroke in the filter field until painted (50 ms at most);
// - the program's resident memory with that listing on screen (150 MB at most).
#include "AppModel.h"
#include "ContentView.h"
#include "DravikApp.h"
#include "FileListModel.h"
#include "FilePaneView.h"
#include "FileTableView.h"
#include "Icons.h"
#include "MainWindow.h"
#include "PrivateHome.h"
#include "ProFTPDServer.h"
#include "ProfileStore.h"
#include "QueueStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int listingSize = 50000;

struct Figures {
    std::vector<double> milliseconds;
    double worst() const { return *std::max_element(milliseconds.begin(), milliseconds.end()); }
    double median() const
    {
        std::vector<double> sorted = milliseconds;
        std::sort(sorted.begin(), sorted.end());
        return sorted.at(sorted.size() / 2);
    }
};

void report(const char* what, const Figures& figures, double target)
{
    std::printf("%-34s median %7.1f ms  worst %7.1f ms  (target %.0f ms) %s\n", what, figures.median(), figures.worst(),
                target, figures.worst() <= target ? "ok" : "OVER");
}

void saveProfilesAndQueue()
{
    QList<ServerProfile> profiles;
    for (int n = 0; n < 20; ++n) {
        ServerProfile profile;
        profile.name = QStringLiteral("Server %1").arg(n);
        profile.host = QStringLiteral("ftp%1.example.org").arg(n);
        profile.username = QStringLiteral("user");
        profiles << profile;
    }
    ProfileStore::save(profiles);
    QList<TransferItem> queue;
    for (int n = 0; n < 1000; ++n) {
        TransferItem item{FTPClient(profiles.at(n % 20), {})};
        item.upload = n % 2 == 0;
        item.localURL = QStringLiteral("/home/user/Downloads/file %1.bin").arg(n);
        item.remotePath = QStringLiteral("/incoming/file %1.bin").arg(n);
        queue << item;
    }
    QueueStore::save(QueueStore::data(queue));
}

// Every name in a folder of its own, sizes spread over three orders of magnitude; the files are
// sparse, so that they cost no disk.
void putListing(const ProFTPDServer& server)
{
    const QString folder = server.local(QStringLiteral("/many"));
    QDir().mkpath(folder);
    for (int n = 0; n < listingSize; ++n) {
        QFile file(folder + QStringLiteral("/report %1.txt").arg(n));
        if (!file.open(QIODevice::WriteOnly) || !file.resize((n * 7919) % 1000003))
            throw std::runtime_error("cannot write the listing");
    }
}

double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return -1;
}

// Runs `change` and waits until the table has been painted with its result.
double timed(QWidget* table, const std::function<void()>& change)
{
    QElapsedTimer clock;
    clock.start();
    change();
    QCoreApplication::processEvents();
    table->repaint();
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    const PrivateHome home;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    saveProfilesAndQueue();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dravik"));
    QApplication::setQuitOnLastWindowClosed(false);
    Icons::useFallbackTheme();
    DravikApp program;
    MainWindow& window = program.window();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QCoreApplication::processEvents();
    const double startUp = double(sinceStart.nsecsElapsed()) / 1e6;
    std::printf("%-34s %7.1f ms  (target 500 ms) %s   [%lld items restored]\n", "start-up to a shown window", startUp,
                startUp <= 500 ? "ok" : "OVER", qlonglong(program.model().transfers().size()));

    try {
        const ProFTPDServer server;
        putListing(server);
        AppModel& model = program.model();
        ServerProfile profile = server.profile(FTPProtocol::ftp);
        profile.initialPath = QStringLiteral("/many");
        model.connect(profile, ProFTPDServer::password());
        if (!QTest::qWaitFor([&] { return model.isConnected() && !model.busy(); }, 300000))
            throw std::runtime_error("no connection: " + model.errorMessage().toStdString());
        FilePaneView& pane = *window.content()->remotePane();
        FileTableView* table = pane.table();
        QCoreApplication::processEvents();
        std::printf("%-34s %d rows\n", "server's pane", table->model()->rowCount());

        Figures byName, bySize, keystroke;
        for (int round = 0; round < 5; ++round) {
            for (Qt::SortOrder order : {Qt::DescendingOrder, Qt::AscendingOrder}) {
                bySize.milliseconds.push_back(
                    timed(table, [&] { table->sortByColumn(FileListModel::sizeColumn, order); }));
                byName.milliseconds.push_back(
                    timed(table, [&] { table->sortByColumn(FileListModel::nameColumn, order); }));
            }
        }
        QLineEdit* search = pane.findChild<QLineEdit*>();
        for (const QString& typed : {QStringLiteral("report 4"), QStringLiteral("2"), QStringLiteral("7")}) {
            for (const QChar key : typed)
                keystroke.milliseconds.push_back(timed(table, [&] { QTest::keyClick(search, key.toLatin1()); }));
            for (qsizetype n = 0; n < typed.size(); ++n)
                keystroke.milliseconds.push_back(timed(table, [&] { QTest::keyClick(search, Qt::Key_Backspace); }));
        }
        report("sort 50,000 by name", byName, 150);
        report("sort 50,000 by size", bySize, 100);
        report("filter keystroke on 50,000", keystroke, 50);
        const double resident = residentMegabytes();
        std::printf("%-34s %7.1f MB  (target 150 MB) %s\n", "resident memory", resident,
                    resident <= 150 ? "ok" : "OVER");
        program.model().shutDown();
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "window_bench: %s\n", error.what());
        return 1;
    }
}
