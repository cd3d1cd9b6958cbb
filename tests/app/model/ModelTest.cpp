#include "ModelTest.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

void ModelTest::start()
{
    model.reset();
    model = std::make_unique<AppModel>(prompter);
    EXPECT_TRUE(listedLocally(*model, [&] { model->openLocal(local.path()); }));
}

void ModelTest::connectToServer(const ServerProfile& serverProfile, const QString& password)
{
    model->connect(serverProfile, password);
    ASSERT_TRUE(eventually([&] { return model->isConnected() && !model->busy(); }))
        << model->errorMessage().toStdString();
}

void ModelTest::connectAt(const QString& folder)
{
    ServerProfile at = profile;
    at.initialPath = folder;
    connectToServer(at);
}

void ModelTest::select(bool localPane, const QStringList& names)
{
    const QSet<QString> set(names.cbegin(), names.cend());
    if (localPane)
        model->setLocalSelection(set);
    else
        model->setRemoteSelection(set);
}

QStringList ModelTest::activity() const
{
    QStringList lines;
    for (const Activity& line : model->activity())
        lines.prepend(line.text);
    return lines;
}

void ModelTest::settle()
{
    // The model's private pool: every part's tasks run there.
    model->findChild<QThreadPool*>()->waitForDone();
    QCoreApplication::processEvents();
}

bool listedLocally(AppModel& model, const std::function<void()>& change)
{
    QSignalSpy listed(&model, &AppModel::localFilesChanged);
    change();
    return listed.wait(30000);
}

bool eventually(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    return QTest::qWaitFor(done, int(limit.count()));
}
