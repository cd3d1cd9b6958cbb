#include "DownloadCheckpoint.h"
#include "EngineClock.h"
#include "FakeCurl.h"
#include "ModelTest.h"
#include "ProfileStore.h"
#include "QueueStore.h"
#include "QuitSignals.h"
#include "RecordingClock.h"
#include "SSHServer.h"
#include "TransferListModel.h"
#include "TransferRate.h"

#include <QAbstractItemModelTester>
#include <QFileInfo>
#include <QRegularExpression>
#include <csignal>
#include <sys/stat.h>

using namespace std::chrono_literals;
using namespace ftptest;

namespace {

QList<TransferItem::State> states(const AppModel& model)
{
    QList<TransferItem::State> list;
    for (const TransferItem& item : model.transfers())
        list << item.state;
    return list;
}

// Whether the first row tells how far it is of `total`, how fast it goes and how long it still needs.
bool showsPace(const AppModel& model, const QString& total)
{
    const QRegularExpression pace(QString::fromUtf8(R"(^[\d.,]+ [KM]?B of %1 · [\d.,]+ [KM]?B/s · \d+:\d\d left$)")
                                      .arg(QRegularExpression::escape(total)));
    return pace.match(model.transferList()->index(0).data(TransferListModel::PaceRole).toString()).hasMatch();
}

} // namespace

TEST_F(ModelTest, UploadsAndDownloadsRunToTheLastByte)
{
    server.put("/down/one.bin", randomBytes(300000));
    server.put("/down/sub/two.bin", randomBytes(1000));
    local.write("one.bin", "older");
    local.write("up/a.bin", randomBytes(200000));
    local.write("up/b/c.bin", randomBytes(10));
    start();
    QAbstractItemModelTester transfers(model->transferList());
    QAbstractItemModelTester lines(model->activityLog());
    connectToServer();
    model->browse("/down");
    ASSERT_TRUE(eventually([&] { return !model->busy() && model->remoteFiles().size() == 2; }));

    prompter.conflictAnswers = {ConflictAnswer{ConflictAction::overwrite, false}};
    select(false, {"one.bin", "sub"});
    model->enqueue(false);
    EXPECT_TRUE(model->planning());
    ASSERT_TRUE(eventually([&] { return idle(); }));
    ASSERT_TRUE(listedLocally(*model, [&] { model->openLocal(local.file("up")); }));
    select(true, {"a.bin", "b"});
    model->enqueue(true);
    ASSERT_TRUE(eventually([&] { return idle() && model->transfers().size() == 6; }));

    EXPECT_EQ(prompter.asked, QStringList{"conflict: /down/one.bin"});
    EXPECT_EQ(contentOf(local.file("one.bin")), randomBytes(300000));
    EXPECT_EQ(contentOf(local.file("sub/two.bin")), randomBytes(1000));
    EXPECT_EQ(contentOf(server.local("/down/a.bin")), randomBytes(200000));
    EXPECT_EQ(contentOf(server.local("/down/b/c.bin")), randomBytes(10));
    EXPECT_EQ(states(*model), QList<TransferItem::State>(6, TransferItem::State::completed));
    EXPECT_EQ(model->simultaneousTransfers(), 1) << "one at a time unless chosen otherwise";

    // A record whose destination an item already waits for is left out.
    model->clearFinished();
    model->setQueuePaused(true);
    select(true, {"a.bin"});
    prompter.conflictAnswers = {ConflictAnswer{ConflictAction::overwrite, false},
                                ConflictAnswer{ConflictAction::overwrite, false}};
    for (int request = 0; request < 2; ++request) {
        model->enqueue(true);
        ASSERT_TRUE(eventually([&] { return !model->planning(); }));
    }
    EXPECT_EQ(model->transfers().size(), 1);
    EXPECT_EQ(activity().last(), "0 items added to the queue");

    // A question nobody answers does not hold up a cancel.
    model->enqueue(true);
    ASSERT_TRUE(eventually([&] { return prompter.asked.size() == 4; }));
    model->cancelAll();
    EXPECT_FALSE(model->planning());
    EXPECT_TRUE(eventually([&] { return prompter.withdrawn() == 1; }));
}

// A listing that began before the last file arrived is followed by one more, so the server pane
// ends showing every uploaded file.
TEST_F(ModelTest, TheServerPaneEndsShowingEveryUploadedFileHoweverLongItsListingsTake)
{
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        local.write(QString("out/") + name, name);
    start();
    connectAt("/");
    ASSERT_TRUE(listedLocally(*model, [&] { model->openLocal(local.file("out")); }));
    // Each listing is a second old when it arrives: older than the uploads of a few bytes behind it.
    const FakeCurl curl("/usr/bin/curl \"$@\" < input-$run; status=$?\n"
                        "if grep -q MLSD arguments-$run; then sleep 1; fi\nexit $status");
    select(true, {"a.txt", "b.txt", "c.txt"});
    model->enqueue(true);
    EXPECT_TRUE(eventually(
        [&] {
            QSet<QString> shown;
            for (const FileEntry& entry : model->remoteFiles())
                shown << entry.name;
            return idle() && shown.contains({"a.txt", "b.txt", "c.txt"});
        },
        20s));
}

TEST_F(ModelTest, ATransientFailureIsRetriedAfterTwoSecondsAndAThirdFailurePausesTheQueue)
{
    const struct {
        int failures;
        QStringList files;
        QList<TransferItem::State> states;
        std::vector<EngineClock::Clock::duration> sleeps;
    } cases[] = {
        {1, {"a1.txt", "a2.txt"}, {TransferItem::State::completed, TransferItem::State::completed}, {2s}},
        {3, {"b1.txt", "b2.txt"}, {TransferItem::State::failed, TransferItem::State::waiting}, {2s, 4s}},
    };
    for (const auto& one : cases)
        for (const QString& file : one.files)
            local.write(file, file.toUtf8());
    start();
    connectToServer();
    for (const auto& one : cases) {
        SCOPED_TRACE(one.failures);
        RecordingClock clock;
        FakeCurl curl(QString("if grep -qx -- --upload-file arguments-$run && [ $(ls | grep -c '^failed-') -lt %1 ]; "
                              "then touch failed-$run; exit 56; fi\nexec /usr/bin/curl \"$@\"")
                          .arg(one.failures),
                      false);
        const qsizetype linesBefore = activity().size();
        model->clearFinished();
        select(true, one.files);
        model->enqueue(true);
        ASSERT_TRUE(eventually([&] {
            return !model->busy() && !model->planning() && model->transfers().size() == 2 &&
                   !model->transfers().first().isPending() &&
                   model->transfers().last().state != TransferItem::State::running;
        }));
        EXPECT_EQ(states(*model), one.states);
        EXPECT_EQ(clock.sleeps, one.sleeps);
        EXPECT_EQ(activity().mid(linesBefore).filter("Connection problem").size(), qsizetype(one.sleeps.size()));
        EXPECT_EQ(model->queuePaused(), one.failures == 3);
    }
    EXPECT_EQ(contentOf(server.local("/a1.txt")), "a1.txt");
    EXPECT_EQ(activity().last(), "b1.txt failed: " + model->transfers().first().error.value_or("none"));
    EXPECT_EQ(model->errorMessage(), QString());
}

TEST_F(ModelTest, CancellingOneTransferLeavesTheOtherAndAConnectWaitsForBoth)
{
    server.put("/slow/big.bin", randomBytes(2000000));
    server.put("/slow/next.bin", randomBytes(2000000));
    start();
    connectAt("/slow");
    select(false, {"big.bin", "next.bin"});
    model->enqueue(false);
    ASSERT_TRUE(eventually([&] { return model->transfers().size() == 2 && model->transfers().first().progress > 0; }));
    // A download counts towards the size the listing gave.
    EXPECT_TRUE(eventually([&] { return showsPace(*model, "2 MB"); }))
        << model->transferList()->index(0).data(TransferListModel::PaceRole).toString().toStdString();

    model->connect(profile, ProFTPDServer::password());
    EXPECT_EQ(model->errorMessage(), "Wait until the transfers have finished.");
    EXPECT_TRUE(model->isConnected());
    model->cancel(model->transfers().last().id);
    EXPECT_EQ(states(*model), (QList{TransferItem::State::running, TransferItem::State::cancelled}));
    model->cancel(model->transfers().first().id);
    ASSERT_TRUE(eventually([&] { return model->pendingCount() == 0 && !model->busy(); }));
    EXPECT_EQ(states(*model).first(), TransferItem::State::cancelled);
    EXPECT_EQ(activity().last(), "Cancelled big.bin");
}

TEST_F(ModelTest, AQueueSavedAtASignalToQuitComesBackFailedAndRetryRunsItAgain)
{
    using enum TransferItem::State;
    local.write("a.txt", "alpha");
    local.write("b.txt", "beta");
    local.write("c.txt", "gamma");
    ProfileStore::save({profile});
    start();
    connectToServer();
    model->setQueuePaused(true);
    select(true, {"a.txt", "b.txt", "c.txt"});
    model->enqueue(true);
    ASSERT_TRUE(eventually([&] { return model->pendingCount() == 3 && !model->planning(); }));
    {
        QuitSignals signals;
        QObject::connect(&signals, &QuitSignals::quitRequested, model.get(), &AppModel::shutDown);
        ::raise(SIGTERM);
        ASSERT_TRUE(eventually([&] { return model->shuttingDown(); }));
    }
    EXPECT_EQ(states(*model), QList<TransferItem::State>(3, cancelled));

    start();
    ASSERT_EQ(states(*model), QList<TransferItem::State>(3, failed));
    const QUuid first = model->transfers().first().id;
    EXPECT_FALSE(model->canRetryAllFailed()) << "not without a connection";
    model->retryAllFailed();
    EXPECT_EQ(model->errorMessage(), "Connect to this transfer's server first, with no other work running.");
    EXPECT_FALSE(model->planning());

    connectToServer();
    model->retry(first);
    ASSERT_TRUE(eventually([&] { return model->transfers().first().state == completed; }));
    EXPECT_EQ(contentOf(server.local("/a.txt")), "alpha");
    EXPECT_EQ(states(*model), (QList{completed, failed, failed}));
    EXPECT_FALSE(model->queuePaused());
    EXPECT_EQ(QueueStore::load({profile}).size(), 2);

    ASSERT_TRUE(model->canRetryAllFailed());
    model->retryAllFailed();
    ASSERT_TRUE(eventually([&] { return states(*model) == QList<TransferItem::State>(3, completed); }));
    EXPECT_EQ(contentOf(server.local("/b.txt")), "beta");
    EXPECT_EQ(contentOf(server.local("/c.txt")), "gamma");
    EXPECT_FALSE(model->canRetryAllFailed());
    EXPECT_EQ(QueueStore::load({profile}).size(), 0);
}

TEST_F(ModelTest, ARetriedDownloadWithAValidCheckpointAsksWhetherToContinueIt)
{
    const QByteArray original = randomBytes(700000);
    server.put("/slow/file.bin", original);
    start();
    connectAt("/slow");
    select(false, {"file.bin"});
    model->enqueue(false);
    ASSERT_TRUE(eventually([&] { return !model->transfers().isEmpty() && model->transfers().first().progress > 0.1; }));
    const QUuid id = model->transfers().first().id;
    model->cancel(id);
    ASSERT_TRUE(eventually([&] { return model->pendingCount() == 0; }));

    // Marked bytes in the partial file show that the download continued after them.
    QFile partial(DownloadCheckpoint::file(local.file("file.bin"), id));
    ASSERT_TRUE(partial.open(QIODevice::ReadWrite));
    partial.write(QByteArray(100, 'X'));
    partial.close();
    prompter.alertAnswers = {0, 1};
    model->retry(id);
    ASSERT_TRUE(eventually([&] { return !model->planning(); }));
    EXPECT_EQ(states(*model), QList{TransferItem::State::cancelled});
    model->retry(id);
    ASSERT_TRUE(eventually([&] { return states(*model) == QList{TransferItem::State::completed}; }));
    EXPECT_EQ(prompter.asked, QStringList(2, "alert: Resume download"));
    EXPECT_EQ(contentOf(local.file("file.bin")), QByteArray(100, 'X') + original.mid(100));
}

TEST(TransferRate, AveragesTheLastSecondsOfProgress)
{
    using namespace std::chrono;
    const struct {
        const char* name;
        QList<std::pair<double, double>> samples; // seconds, fraction done
        std::optional<double> perSecond;
        std::optional<double> secondsLeft;
    } cases[] = {
        {"one sample", {{0, 0.2}}, std::nullopt, std::nullopt},
        {"no time between", {{1, 0.2}, {1, 0.3}}, std::nullopt, std::nullopt},
        {"steady", {{0, 0}, {1, 0.1}, {2, 0.2}, {3, 0.3}}, 0.1, 7},
        {"a fast start is forgotten", {{0, 0}, {1, 0.5}, {4, 0.5}, {5, 0.52}, {9, 0.6}}, 0.02, 20},
        {"stalled", {{0, 0}, {5, 0.5}, {6, 0.5}, {11, 0.5}}, 0, std::nullopt},
    };
    for (const auto& test : cases) {
        TransferRate rate;
        for (const auto& [at, done] : test.samples)
            rate.add(
                TransferRate::Clock::time_point(duration_cast<TransferRate::Clock::duration>(duration<double>(at))),
                done);
        const std::optional<double> perSecond = rate.perSecond();
        const std::optional<double> left = rate.secondsLeft(1);
        EXPECT_EQ(perSecond.has_value(), test.perSecond.has_value()) << test.name;
        if (perSecond && test.perSecond) {
            EXPECT_NEAR(*perSecond, *test.perSecond, 1e-9) << test.name;
        }
        EXPECT_EQ(left.has_value(), test.secondsLeft.has_value()) << test.name;
        if (left && test.secondsLeft) {
            EXPECT_NEAR(*left, *test.secondsLeft, 1e-6) << test.name;
        }
    }
    EXPECT_EQ(TransferListModel::duration(65.4), "1:05");
    EXPECT_EQ(TransferListModel::duration(7390), "2:03:10");
}

TEST_F(ModelTest, ARetriedUploadContinuesThePartialFileItsCancelledAttemptLeftWithoutAsking)
{
    const QByteArray bytes = randomBytes(640000);
    local.write("big.bin", bytes);
    start();
    connectAt("/slow");
    select(true, {"big.bin"});
    model->enqueue(true);
    ASSERT_TRUE(eventually([&] { return QFileInfo(server.local("/slow/big.bin")).size() >= 100000; }));
    // Its row tells how far it is, how fast it goes and how long it still needs, and so does the queue.
    ASSERT_TRUE(eventually([&] { return showsPace(*model, "640 KB"); }))
        << model->transferList()->index(0).data(TransferListModel::PaceRole).toString().toStdString();
    EXPECT_TRUE(model->queueSecondsLeft().has_value());
    const QUuid id = model->transfers().first().id;
    model->cancel(id);
    ASSERT_TRUE(eventually([&] { return idle(); }));
    ASSERT_LT(QFileInfo(server.local("/slow/big.bin")).size(), bytes.size());

    model->retry(id);
    ASSERT_TRUE(eventually([&] { return states(*model) == QList{TransferItem::State::completed}; }));
    EXPECT_EQ(prompter.asked, QStringList());
    EXPECT_EQ(contentOf(server.local("/slow/big.bin")), bytes);
}

TEST_F(ModelTest, SeveralTransfersRunAtOnceNeverIntoOneDestinationAndAFailureStartsNoNewOne)
{
    using enum TransferItem::State;
    const struct {
        int simultaneous;
        QStringList names;
        // curl refuses this one for good, at once.
        QString failing;
        int mostRunning;
        QList<TransferItem::State> states;
    } cases[] = {
        {1, {"a.bin", "b.bin", "sub"}, {}, 1, QList<TransferItem::State>(4, completed)},
        {2, {"a.bin", "b.bin", "c.bin", "sub"}, {}, 2, QList<TransferItem::State>(5, completed)},
        // Two lanes: a.bin and b.bin in one curl run, which fails at once, and c.bin alone. The
        // run's failure is its first file's; the file it never reached waits.
        {2, {"a.bin", "b.bin", "c.bin"}, "b.bin", 2, {failed, waiting, completed}},
    };
    for (const char* name : {"a.bin", "b.bin", "c.bin", "sub/d.bin"})
        server.put(QString("/slow/") + name, randomBytes(150000));
    start();
    connectAt("/slow");
    for (const auto& one : cases) {
        SCOPED_TRACE(one.states.size() + one.failing.size());
        // A run of several files has their addresses in its configuration.
        FakeCurl curl(QString("if grep -q '/%1\"\\?$' arguments-$run input-$run; then exit 9; fi\n"
                              "exec /usr/bin/curl \"$@\" < input-$run")
                          .arg(one.failing.isEmpty() ? "none" : one.failing));
        model->clearFinished();
        model->setQueuePaused(false);
        const QString folder = local.write(QString("%1/.keep").arg(&one - cases), {});
        ASSERT_TRUE(listedLocally(*model, [&] { model->openLocal(QFileInfo(folder).path()); }));
        model->setSimultaneousTransfers(one.simultaneous);
        const qsizetype linesBefore = activity().size();
        ASSERT_TRUE(eventually([&] { return !model->isWorking(); }))
            << "busy " << model->busy() << ", planning " << model->planning() << "\n"
            << activity().join('\n').toStdString();
        select(false, one.names);
        model->enqueue(false);
        // Counted at every change of a row: a run's file may start and fail between two looks.
        int most = 0;
        const QMetaObject::Connection counting =
            QObject::connect(model->transferList(), &QAbstractItemModel::dataChanged,
                             [&] { most = std::max(most, int(states(*model).count(running))); });
        ASSERT_TRUE(eventually([&] {
            const QList<TransferItem::State> now = states(*model);
            return !model->planning() && now.size() == one.states.size() && !now.contains(running);
        })) << activity().mid(linesBefore).join('\n').toStdString();
        QObject::disconnect(counting);
        EXPECT_EQ(states(*model), one.states);
        EXPECT_EQ(most, one.mostRunning);
        EXPECT_EQ(model->queuePaused(), !one.failing.isEmpty());
        // A file of a folder starts only once the folder is there.
        const QStringList log = activity().mid(linesBefore);
        if (one.names.contains("sub")) {
            EXPECT_LT(log.indexOf("Finished sub"), log.indexOf("Downloading d.bin"));
        }
    }
}

// Every way of stopping ends all running transfers within a second; only a quit's queue comes back.
TEST_F(ModelTest, CancelAllDisconnectAndQuitStopEveryRunningTransferAndAQuitQueueComesBack)
{
    for (const char* name : {"a.bin", "b.bin", "c.bin"})
        server.put(QString("/slow/") + name, randomBytes(2000000));
    ProfileStore::save({profile});
    // With two at once a.bin and b.bin share one curl run, which has not reached b.bin yet: it looks
    // waiting, and cancelling it leaves a.bin running.
    const std::pair<QString, int> stops[] = {{"cancel all", 3}, {"disconnect", 3}, {"quit", 3}, {"quit", 2}};
    for (const auto& [stop, simultaneous] : stops) {
        SCOPED_TRACE(stop.toStdString() + " " + std::to_string(simultaneous));
        start();
        model->setSimultaneousTransfers(simultaneous);
        connectAt("/slow");
        select(false, {"a.bin", "b.bin", "c.bin"});
        model->enqueue(false);
        const QList<int> moving = simultaneous == 3 ? QList{0, 1, 2} : QList{0, 2};
        ASSERT_TRUE(eventually([&] {
            return model->transfers().size() == 3 && std::all_of(moving.cbegin(), moving.cend(), [&](int row) {
                       return model->transfers().at(row).progress > 0;
                   });
        }));
        ASSERT_EQ(childProcesses("curl").size(), moving.size());
        if (simultaneous == 2) {
            EXPECT_EQ(states(*model), QList({TransferItem::State::running, TransferItem::State::waiting,
                                             TransferItem::State::running}));
            model->cancel(model->transfers().at(1).id);
            EXPECT_EQ(states(*model), QList({TransferItem::State::running, TransferItem::State::cancelled,
                                             TransferItem::State::running}));
        }
        stop == "quit" ? model->shutDown() : stop == "disconnect" ? model->disconnect() : model->cancelAll();
        EXPECT_TRUE(eventually([] { return childProcesses("curl").isEmpty(); }, 1s));
        EXPECT_TRUE(eventually([&] { return model->pendingCount() == 0; }));
        EXPECT_EQ(states(*model), QList<TransferItem::State>(3, TransferItem::State::cancelled));
        EXPECT_EQ(model->isConnected(), stop == "cancel all");

        start();
        EXPECT_EQ(states(*model),
                  QList<TransferItem::State>(stop == "quit" ? int(moving.size()) : 0, TransferItem::State::failed));
        EXPECT_EQ(model->simultaneousTransfers(), simultaneous);
        model->clearFinished();
    }
    model->setSimultaneousTransfers(9);
    EXPECT_EQ(model->simultaneousTransfers(), 8);
}

// The same lanes over SFTP, each file an ssh run of its own: they run side by side, a file the
// server refuses pauses the queue and starts nothing new, and a quit stops every ssh and its queue
// comes back.
TEST_F(ModelTest, SFTPTransfersRunSideBySideAFailurePausesAndAQuitStopsThemAll)
{
    REQUIRE_ACCOUNTS();
    const SSHServer ssh;
    ServerProfile remote = ssh.profile();
    remote.initialPath = ssh.home();
    ProfileStore::save({remote});
    for (const char* name : {"a.bin", "b.bin", "c.bin"})
        ssh.put(name, QByteArray(96 * 1024 * 1024, name[0]));
    start();
    model->setSimultaneousTransfers(3);
    connectToServer(remote, ssh.password());
    select(false, {"a.bin", "b.bin", "c.bin"});
    model->enqueue(false);
    ASSERT_TRUE(eventually([&] {
        return model->transfers().size() == 3 &&
               std::all_of(model->transfers().cbegin(), model->transfers().cend(),
                           [](const TransferItem& item) { return item.progress > 0 && item.progress < 1; });
    }));
    EXPECT_EQ(childProcesses("ssh").size(), 3);
    model->shutDown();
    EXPECT_TRUE(eventually([] { return childProcesses("ssh").isEmpty(); }, 1s));
    EXPECT_TRUE(eventually([&] { return model->pendingCount() == 0; }));
    EXPECT_EQ(states(*model), QList<TransferItem::State>(3, TransferItem::State::cancelled));
    start();
    EXPECT_EQ(states(*model), QList<TransferItem::State>(3, TransferItem::State::failed));
    model->clearFinished();

    // Two lanes: a.bin is refused at once, b.bin beside it runs to its end, c.bin never starts.
    ASSERT_EQ(::chmod(qPrintable(ssh.path("a.bin")), 0), 0);
    model->setSimultaneousTransfers(2);
    connectToServer(remote, ssh.password());
    select(false, {"a.bin", "b.bin", "c.bin"});
    model->enqueue(false);
    using enum TransferItem::State;
    ASSERT_TRUE(eventually(
        [&] {
            return states(*model) == QList{failed, completed, waiting};
        },
        60s))
        << activity().join('\n').toStdString();
    EXPECT_TRUE(model->queuePaused());
    EXPECT_EQ(contentOf(local.file("b.bin")), contentOf(ssh.path("b.bin")));
}
