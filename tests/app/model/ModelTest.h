#pragma once

#include "AppModel.h"
#include "ProFTPDServer.h"
#include "QtPrinters.h"
#include "ScriptedPrompter.h"
#include "TemporaryFolder.h"

#include <QStringList>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

// The model against a ProFTPD of its own, with the local pane in a folder of the test's own.
class ModelTest : public testing::Test {
protected:
    // A new model, as at a start of the program.
    void start();
    // Connects to the server and waits for the first listing.
    void connectToServer(const ServerProfile& profile, const QString& password = ProFTPDServer::password());
    void connectToServer() { connectToServer(profile); }
    // Connects with the remote pane in `folder`.
    void connectAt(const QString& folder);
    // Selects the entries of that name in a pane.
    void select(bool local, const QStringList& names);
    // Activity lines, oldest first.
    QStringList activity() const;
    // Lets every task of the model end and its result reach the main thread, whatever it was.
    void settle();
    // The model's properties that the waits in the tests watch.
    bool idle() const { return !model->busy() && !model->planning() && model->pendingCount() == 0; }

    ScriptedPrompter prompter;
    ProFTPDServer server;
    TemporaryFolder local;
    const ServerProfile profile = server.profile(FTPProtocol::ftp);
    std::unique_ptr<AppModel> model;
};

// Serves the main thread's events until `done` holds, or fails after `limit`.
bool eventually(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(30));
// Does `change`, then serves the main thread's events until the local pane shows a new listing.
bool listedLocally(AppModel& model, const std::function<void()>& change);

using ftptest::contentOf;
