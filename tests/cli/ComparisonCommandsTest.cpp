#include "CliTestRun.h"
#include "ProFTPDServer.h"
#include "QtPrinters.h"
#include "TemporaryFolder.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// 2023-11-14T22:13:20Z.
void setModified(const QString& path)
{
    const timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

} // namespace

TEST(ComparisonCommands, PrintsOneJsonLinePerPathWithTheStatusKeyInAnyLanguage)
{
    ProFTPDServer server;
    TemporaryFolder local;
    setModified(local.write("tree/both.txt", "12345"));
    setModified(local.write("tree/mine.txt", "m"));
    setModified(server.put("/tree/theirs/x", "xyz"));
    setModified(server.put("/tree/both.txt", "123"));
    setModified(server.local("/tree/theirs"));
    const QString profile =
        local.write("profile.json", QJsonDocument(server.profile(FTPProtocol::explicitTLS).toJson()).toJson());

    const CliTestRun run = CliTestRun::run(
        {"--lang", "de", "--profile", profile, "--password-stdin", "compare", local.file("tree"), "/tree"},
        ProFTPDServer::password().toUtf8() + '\n');
    EXPECT_EQ(run.exitStatus, 0) << run.error.toStdString();
    const QByteArray date = "\"modified\":\"2023-11-14T22:13:20Z\"";
    EXPECT_EQ(run.output,
              "{\"local\":{\"isDirectory\":false," + date +
                  ",\"name\":\"both.txt\",\"size\":5},\"path\":\"both.txt\",\"remote\":{\"isDirectory\":false," + date +
                  ",\"name\":\"both.txt\",\"size\":3},\"status\":\"different\"}\n"
                  "{\"local\":{\"isDirectory\":false," +
                  date +
                  ",\"name\":\"mine.txt\",\"size\":1},\"path\":\"mine.txt\",\"status\":\"local_only\"}\n"
                  "{\"path\":\"theirs\",\"remote\":{\"isDirectory\":true," +
                  date +
                  ",\"name\":\"theirs\"},\"status\":\"remote_only\"}\n"
                  "{\"path\":\"theirs/x\",\"remote\":{\"isDirectory\":false," +
                  date + ",\"name\":\"x\",\"size\":3},\"status\":\"remote_only\"}\n");
}
