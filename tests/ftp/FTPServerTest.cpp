#include "ErrorText.h"
#include "FTPBatch.h"
#include "FTPClient.h"
#include "FTPError.h"
#include "FakeCurl.h"
#include "L10n.h"
#include "ProFTPDServer.h"
#include "PyFTPDServer.h"
#include "QtPrinters.h"
#include "SSHServer.h"
#include "TemporaryFolder.h"
#include "TestFiles.h"
#include "TransferPlanner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>
#include <array>
#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace ftptest;

namespace {

void makeLink(const QString& target, const QString& link)
{
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0);
}

} // namespace

// What differs with the transport: the data connections of listings and transfers, resumed and
// empty ones included. Plain FTP, and LIST in place of MLSD, run in the server table below.
TEST(FTPServerListing, AwkwardNamesAndTransfersAreTheSameOverEveryTransport)
{
    const QDateTime fixedDate(QDate(2024, 1, 31), QTime(12, 0), QTimeZone::utc());
    const QStringList awkwardNames{"with space",     "100%",       "#hash", "what?", "\u00dcnic\u00f6de \u2713",
                                   " leading space", "semi;type=a"};
    const QByteArray bytes = randomBytes(100'000);
    const std::tuple<const char*, ProFTPDServer::Kind, FTPProtocol> cases[] = {
        {"MLSD over explicit TLS", ProFTPDServer::Kind::plainAndExplicitTLS, FTPProtocol::explicitTLS},
        {"MLSD over implicit TLS", ProFTPDServer::Kind::implicitTLS, FTPProtocol::implicitTLS},
    };
    for (const auto& [label, kind, protocol] : cases) {
        SCOPED_TRACE(label);
        ProFTPDServer server({kind, false});
        const TemporaryFolder local;
        const FTPClient client(server.profile(protocol), ProFTPDServer::password());
        // Every awkward name as a file, beside a sub-folder and a symbolic link to it.
        for (const QString& name : awkwardNames) {
            QFile file(server.put("/names/" + name, name.toUtf8()));
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            file.setFileTime(fixedDate, QFileDevice::FileModificationTime);
        }
        QDir().mkpath(server.local("/names/sub folder"));
        makeLink("sub folder", server.local("/names/link"));
        QStringList names;
        for (const FileEntry& entry : client.list("/names", {})) {
            names << entry.name;
            EXPECT_EQ(entry.isDirectory, entry.name == "sub folder") << entry.name.toStdString();
            if (awkwardNames.contains(entry.name)) {
                EXPECT_EQ(entry.size, entry.name.toUtf8().size());
                EXPECT_EQ(entry.modified, fixedDate);
            }
        }
        QStringList expected = awkwardNames + QStringList{"link"};
        std::sort(expected.begin(), expected.end());
        QStringList files = names.mid(1);
        std::sort(files.begin(), files.end());
        EXPECT_EQ(names.first(), QStringLiteral("sub folder"));
        EXPECT_EQ(files, expected);

        server.put("/resumed", bytes.first(1000));
        server.put("/empty", {});
        client.upload(local.write("source", bytes), "/up", false, {}, {}, {});
        client.upload(local.file("source"), "/resumed", false, 1000, {}, {});
        client.download("/up", local.file("down"), false, {}, {}, false, {}, {});
        client.download("/empty", local.file("empty"), false, {}, {}, false, {}, {});
        client.download("/up", local.write("partial", bytes.first(1000)), true, 1000, {}, false, {}, {});
        for (const QString& path : {server.local("/up"), server.local("/resumed"), local.file("down"),
                                    local.file("partial"), local.file("empty")})
            EXPECT_EQ(contentOf(path), path.endsWith("empty") ? QByteArray() : bytes) << path.toStdString();
        EXPECT_EQ(failureText([&] {
                      client.download("/gone", local.file("gone"), false, {}, QUuid::createUuid(), false, {}, {});
                  }),
                  L("inaccessible"));
    }
}

TEST(FTPServerListing, FailuresCarryCurlsStatusAndTheUsersText)
{
    ProFTPDServer untrusted({ProFTPDServer::Kind::plainAndExplicitTLS, true});
    ProFTPDServer server;
    const FTPClient client(server.profile(FTPProtocol::explicitTLS), ProFTPDServer::password());
    const std::tuple<std::function<void()>, int, QString> cases[] = {
        {[&] { FTPClient(untrusted.profile(FTPProtocol::explicitTLS), ProFTPDServer::password()).list("/", {}); }, 60,
         L("invalid_certificate")},
        {[&] { client.list("/missing", {}); }, 9, L("inaccessible")},
        {[&] { client.deleteItem("/missing", false, {}); }, 21, L("ftp_error", "21")},
    };
    for (const auto& [operation, status, sentence] : cases) {
        try {
            operation();
            ADD_FAILURE() << "no error for status " << status;
        } catch (const FTPError& error) {
            EXPECT_EQ(error.exitStatus(), status);
            EXPECT_TRUE(error.errorDescription().startsWith(sentence)) << error.errorDescription().toStdString();
            EXPECT_FALSE(error.errorDescription().contains(ProFTPDServer::password()));
        }
    }
}

namespace {

// The servers that differ in what they answer; the transports of one server are compared above.
enum class Served { proftpd, proftpdWithoutMLSD, pyftpdlib, sshd, gesftpserver };

std::string servedName(const testing::TestParamInfo<Served>& info)
{
    constexpr std::array names{"proftpd", "proftpdWithoutMLSD", "pyftpdlib", "sshd", "gesftpserver"};
    return names.at(std::size_t(info.param));
}

// One server of the table and the folder the test works in on both of its sides.
class ServedFolder {
public:
    explicit ServedFolder(Served served)
    {
        if (served == Served::sshd || served == Served::gesftpserver) {
            ssh = std::make_unique<SSHServer>(served == Served::sshd ? QStringLiteral("internal-sftp")
                                                                     : QStringLiteral("/usr/libexec/gesftpserver"));
            root = home = ssh->home();
            client.emplace(ssh->profile(), ssh->password());
        } else if (served == Served::pyftpdlib) {
            pyftpd = std::make_unique<PyFTPDServer>();
            home = pyftpd->local({});
            client.emplace(pyftpd->profile(), PyFTPDServer::password());
        } else {
            proftpd = std::make_unique<ProFTPDServer>(ProFTPDServer::Options{
                served == Served::proftpd ? ProFTPDServer::Kind::plainAndExplicitTLS : ProFTPDServer::Kind::withoutMLSD,
                false});
            home = proftpd->local({});
            client.emplace(proftpd->profile(FTPProtocol::ftp), ProFTPDServer::password());
        }
    }

    QString remote(const QString& path) const { return root + path; }
    QString local(const QString& path) const { return home + path; }
    void put(const QString& path, const QByteArray& bytes) const
    {
        writeFile(local(path), bytes);
        handOver();
    }
    void link(const QString& target, const QString& path) const
    {
        makeLink(target, local(path));
        handOver();
    }
    // What the test laid out belongs to the account the server lets in.
    void handOver() const
    {
        if (ssh)
            ssh->giveToAccount(home);
    }
    // pyftpdlib's MLSD reports what a link leads to, and leaves out a link that leads nowhere.
    bool followsLinks() const { return pyftpd != nullptr; }
    // The SSH connections so far, host-key scans included; none for an FTP server.
    int connections() const { return ssh ? ssh->connections() : 0; }

    std::optional<FTPClient> client;

private:
    std::unique_ptr<ProFTPDServer> proftpd;
    std::unique_ptr<PyFTPDServer> pyftpd;
    std::unique_ptr<SSHServer> ssh;
    QString root;
    QString home;
};

} // namespace

class ServerOperations : public testing::TestWithParam<Served> {
protected:
    void SetUp() override
    {
        if (GetParam() == Served::sshd || GetParam() == Served::gesftpserver)
            REQUIRE_ACCOUNTS();
        served = std::make_unique<ServedFolder>(GetParam());
    }

    std::unique_ptr<ServedFolder> served;
    TemporaryFolder local;
};

TEST_P(ServerOperations, ListingsLinksAndTransfersChangeExactlyTheFilesMeant)
{
    const ServedFolder& s = *served;
    const FTPClient& client = *s.client;
    const auto r = [&s](const QString& path) { return s.remote(path); };

    // Dot files, odd names and links to a file, to a folder and to themselves.
    for (const QString name : {".hidden", "a b#?%.txt", "sub/.env", "\u00fcn\u00efc\u00f8d\u00e9 \u2713"})
        s.put("/links/" + name, name.toUtf8());
    s.link("a b#?%.txt", "/links/file link");
    s.link("sub", "/links/folder link");
    s.link("loop", "/links/loop");
    // Some servers leave out a link that leads nowhere; the ones that do not call it a link.
    QStringList listed;
    for (const FileEntry& entry : client.list(r("/links"), {}))
        listed << entry.name + (entry.isDirectory ? "/" : "") + (entry.isSymbolicLink ? "@" : "") +
                      (entry.size && !entry.isDirectory ? " " + QString::number(*entry.size) : QString());
    const bool loopListed = listed.removeAll("loop@") == 1;
    EXPECT_EQ(listed, (s.followsLinks() ? QStringList{"folder link/", "sub/", ".hidden 7", "a b#?%.txt 10",
                                                      "file link 10", "\u00fcn\u00efc\u00f8d\u00e9 \u2713 15"}
                                        : QStringList{"sub/", ".hidden 7", "a b#?%.txt 10", "file link@",
                                                      "folder link@", "\u00fcn\u00efc\u00f8d\u00e9 \u2713 15"}));

    // A picked link is tried as a folder; inside a folder links to folders are left out.
    QStringList skipped;
    const auto plan = [&](const QString& name, bool directory) {
        const FileEntry entry{name, directory, std::nullopt, std::nullopt, !s.followsLinks() && name != "links"};
        QStringList lines;
        for (const PlannedTransfer& record :
             TransferPlanner::download(entry, local.file(name), r("/" + name), client, 0, {}, {},
                                       [&](const QString& path) { skipped << path.mid(r({}).size()); }))
            lines << record.local.mid(local.path().size()) + (record.directory ? "/" : "");
        return lines;
    };
    EXPECT_EQ(plan("links/folder link", s.followsLinks()),
              (QStringList{"/links/folder link/", "/links/folder link/.env"}));
    EXPECT_EQ(plan("links/file link", false), QStringList{"/links/file link"});
    EXPECT_EQ(
        plan("links", true).join(','),
        s.followsLinks()
            ? QString("/links/,/links/folder link/,/links/folder link/.env,/links/sub/,/links/sub/.env,"
                      "/links/.hidden,/links/a b#?%.txt,/links/file link,/links/\u00fcn\u00efc\u00f8d\u00e9 \u2713")
            : "/links/,/links/sub/,/links/sub/.env,/links/.hidden,/links/a b#?%.txt,/links/file link," +
                  QString(loopListed ? "/links/loop," : "") + "/links/\u00fcn\u00efc\u00f8d\u00e9 \u2713");
    EXPECT_EQ(skipped, (s.followsLinks() ? QStringList{} : QStringList{"/links/folder link"}));

    // A linked file downloads whole, whatever size its link is listed with.
    client.download(r("/links/file link"), local.file("linked.txt"), false, {}, QUuid::createUuid(), false, {}, {});
    EXPECT_EQ(contentOf(local.file("linked.txt")), QByteArray("a b#?%.txt"));

    client.createDirectory(r("/new folder #1"), {});
    client.ensureDirectory(r("/new folder #1"), {});
    client.ensureDirectory(r("/caf\u00e9"), {});
    EXPECT_TRUE(QFileInfo(s.local("/caf\u00e9")).isDir());
    EXPECT_NE(failureText([&] { client.ensureDirectory(r("/no/such/parent"), {}); }), "(no error)");

    const QString moved = "/new folder #1/moved 100%";
    s.put("/old name?", "payload");
    client.rename(r("/old name?"), r(moved), {});
    EXPECT_FALSE(QFile::exists(s.local("/old name?")));
    EXPECT_EQ(contentOf(s.local(moved)), QByteArray("payload"));
    client.permissions(r(moved), "640", {});
    EXPECT_EQ(permissionsOf(s.local(moved)), 0640u);
    // Only an emptied folder can go.
    client.deleteItem(r(moved), false, {});
    client.deleteItem(r("/new folder #1"), true, {});
    EXPECT_FALSE(QFile::exists(s.local("/new folder #1")));

    // A recursive delete takes dot files and must not follow a link out of the tree.
    s.put("/outside/keep.txt", "kept");
    s.put("/tree/a.txt", "a");
    s.put("/tree/ sub/deeper/d#.txt", "d");
    s.put("/tree/ sub/.env", "e");
    s.link("../../outside", "/tree/ sub/link to outside");
    if (!s.followsLinks()) {
        client.deleteTree(r("/tree"), true, 0, {});
        EXPECT_FALSE(QFileInfo::exists(s.local("/tree")));
    }
    EXPECT_EQ(contentOf(s.local("/outside/keep.txt")), QByteArray("kept"));

    // Uploads respect overwrite and resume. One that must not replace anything checks in its own
    // curl run where the server describes entries, and leaves what is there as it was.
    const QByteArray bytes = QByteArray::fromRawData("0123456789abcdef", 16).repeated(4096);
    const QString source = local.write("source.bin", bytes);
    s.put("/existing", "old");
    s.put("/folder/kept", "kept");
    const bool describesEntries = GetParam() == Served::proftpd || GetParam() == Served::pyftpdlib;
    // The destination, the failure, and a file there afterwards with its content.
    const std::tuple<const char*, QString, const char*, QByteArray> fresh[] = {
        {"/existing", L("destination_changed"), "/existing", "old"},
        {"/up load.bin", "(no error)", "/up load.bin", bytes},
        {"/folder", L("destination_changed"), "/folder/kept", "kept"},
    };
    for (const auto& [path, error, kept, content] : fresh) {
        const FakeCurl relay("exec /usr/bin/curl \"$@\" < input-$run");
        QList<double> fractions;
        EXPECT_EQ(failureText([&] {
                      client.upload(source, r(path), false, {}, [&](double fraction) { fractions << fraction; }, {});
                  }),
                  error)
            << path;
        EXPECT_EQ(contentOf(s.local(kept)), content) << path;
        if (describesEntries) {
            EXPECT_EQ(relay.runs(), 1) << path;
        }
        if (error == "(no error)") {
            EXPECT_EQ(fractions.value(fractions.size() - 1), 1.0) << path;
        }
    }
    QList<double> progress;
    client.upload(source, r("/existing"), true, {}, [&](double fraction) { progress << fraction; }, {});
    EXPECT_EQ(contentOf(s.local("/existing")), bytes);
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last(), 1.0);

    s.put("/partial", bytes.first(1000));
    client.upload(source, r("/partial"), false, 1000, {}, {});
    EXPECT_EQ(contentOf(s.local("/partial")), bytes);
    EXPECT_EQ(failureText([&] { client.upload(source, r("/partial"), false, 1000, {}, {}); }),
              L("destination_changed"));

    // Downloads install the remote bytes and nothing else, resumed ones included.
    const QByteArray binary = QByteArray("remote \xff\x00 bytes\r\n", 17).repeated(3000);
    s.put("/dir/file #1.bin", binary);
    s.put("/empty", {});
    client.download(r("/dir/file #1.bin"), local.file("file.bin"), false, {}, {}, false, {}, {});
    client.download(r("/empty"), local.file("empty"), false, {}, {}, false, [](double) {}, {});
    local.write("resumed.bin", binary.first(1000));
    client.download(r("/dir/file #1.bin"), local.file("resumed.bin"), true, 1000, {}, false, {}, {});
    EXPECT_EQ(contentOf(local.file("file.bin")), binary);
    EXPECT_EQ(contentOf(local.file("resumed.bin")), binary);
    EXPECT_EQ(contentOf(local.file("empty")), QByteArray());
    EXPECT_EQ(QDir(local.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"empty", "file.bin", "linked.txt", "resumed.bin", "source.bin"}));

    // One entry is found without its folder's listing where the server can, and the same where
    // it cannot; a checked download of what is no longer a file fails alike and leaves nothing.
    EXPECT_EQ(client.entry(r("/dir/file #1.bin"), {}).value_or(FileEntry{}).size, binary.size());
    EXPECT_TRUE(client.entry(r("/dir"), {}).value_or(FileEntry{}).isDirectory);
    EXPECT_FALSE(client.entry(r("/dir/gone"), {}));
    const std::tuple<const char*, const char*, bool, std::optional<qint64>, QString> checked[] = {
        {"folder, checkpoint", "/dir", true, {}, L("inaccessible")},
        {"gone, checkpoint", "/gone", true, {}, L("inaccessible")},
        {"folder, destination resume", "/dir", false, 1000, L("destination_changed")},
        {"gone, destination resume", "/gone", false, 1000, L("destination_changed")},
        {"not longer than the offset", "/dir/file #1.bin", false, binary.size(), L("destination_changed")},
    };
    for (const auto& [label, path, checkpoint, offset, expected] : checked) {
        const QString destination = local.write("checked.bin", binary.first(offset.value_or(1000)));
        const std::optional<QUuid> id = checkpoint ? std::optional(QUuid::createUuid()) : std::nullopt;
        const std::optional<qint64> resumeAt = offset;
        EXPECT_EQ(failureText([&] { client.download(r(path), destination, true, resumeAt, id, false, {}, {}); }),
                  expected)
            << label;
        EXPECT_EQ(contentOf(destination), binary.first(offset.value_or(1000))) << label;
        EXPECT_EQ(QDir(local.path()).entryList(QDir::Files | QDir::Hidden).size(), 6) << label;
    }
    // A checkpointed download over SFTP checks its entry over the connection that fetches it.
    const int connections = s.connections();
    client.download(r("/dir/file #1.bin"), local.file("checkpointed.bin"), false, {}, QUuid::createUuid(), false, {},
                    {});
    EXPECT_EQ(contentOf(local.file("checkpointed.bin")), binary);
    if (GetParam() == Served::sshd || GetParam() == Served::gesftpserver) {
        EXPECT_EQ(s.connections() - connections, 1);
        return;
    }

    // Several files in one curl run end as each would alone: a vanished file, a folder in place of
    // a file and an existing destination fail with their own outcomes while the others complete,
    // and a file stopped under way ends the run without touching the files after it.
    s.put("/batch/a", "a");
    s.put("/batch/c", "c");
    s.put("/batch/dir/x", "x");
    s.put("/batch/there", "there");
    // An existing destination keeps its content, which is its name as the uploads' is theirs.
    QDir().mkpath(local.file("into"));
    const struct {
        bool upload;
        QStringList names;
        // Where the stop of the file under way is asked for.
        qsizetype stopAt;
        // In any order: a file the run could not settle ends after the others.
        QStringList outcomes;
        QStringList localFiles;
        bool oneRun;
    } batches[] = {
        {false, {"a", "c"}, -1, {"a done", "c done"}, {"a", "c"}, true},
        {false,
         {"a", "gone", "dir", "c"},
         -1,
         {"a done", "c done", "dir " + L("inaccessible"), "gone " + L("inaccessible")},
         {"a", "c"},
         false},
        {false, {"a", "c", "dir"}, 1, {"a done", "c (no error)"}, {"a"}, true},
        {true, {"up1", "there", "up2"}, -1, {"there " + L("destination_changed"), "up1 done", "up2 done"}, {}, true},
    };
    for (const auto& batch : batches) {
        SCOPED_TRACE(batch.names.join(",").toStdString());
        for (const QString& name : QDir(local.file("into")).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(local.file("into/" + name));
        const FakeCurl relay("exec /usr/bin/curl \"$@\" < input-$run");
        std::stop_source stop;
        QList<FTPBatch::File> files;
        for (const QString& name : batch.names)
            files.append({batch.upload ? local.write("up/" + name, name.toUtf8()) : local.file("into/" + name),
                          r("/batch/" + name),
                          false,
                          QUuid::createUuid(),
                          {},
                          stop.get_token()});
        QStringList outcomes;
        const FTPBatch run(client, {[](qsizetype) { return true; },
                                    [&](qsizetype at) {
                                        if (at == batch.stopAt)
                                            stop.request_stop();
                                    },
                                    [&](qsizetype at, std::exception_ptr failure) {
                                        outcomes << batch.names.at(at) + " " +
                                                        (failure ? ErrorText::sentence(failure).value_or("(no error)")
                                                                 : "done");
                                    }});
        batch.upload ? run.upload(files, {}) : run.download(files, {});
        outcomes.sort();
        EXPECT_EQ(outcomes, batch.outcomes);
        EXPECT_EQ(QDir(local.file("into")).entryList(QDir::Files | QDir::Hidden), batch.localFiles);
        // One login for the run; a file it could not settle is tried alone afterwards.
        if (describesEntries && batch.oneRun) {
            EXPECT_EQ(relay.runs(), 1);
        }
        EXPECT_EQ(QString::fromUtf8(relay.input(1)).count("\nnext\n"), describesEntries ? batch.names.size() - 1 : 0);
        for (const QString& name : batch.names)
            if (batch.upload) {
                EXPECT_EQ(contentOf(s.local("/batch/" + name)), name.toUtf8());
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerOperations,
                         testing::Values(Served::proftpd, Served::proftpdWithoutMLSD, Served::pyftpdlib, Served::sshd,
                                         Served::gesftpserver),
                         servedName);

// A replaced file is the old one or the new one, never a part of the new one: the upload goes to
// a hidden name of Dravik's beside it and is renamed over it in the same run, with the mode the
// listing shows. A server that refuses renames has the file written directly, and the caller hears
// of it first; one that refuses to set modes still takes the file.
TEST(FTPServerReplace, TheServerKeepsTheOldFileOrTheNewNeverAPart)
{
    const QByteArray before(300'000, 'o');
    const QByteArray after = randomBytes(300'000);
    const QRegularExpression temporary(R"(^\.notes\.txt\.dravik-upload-[0-9a-f]{8}$)");
    using Kind = ProFTPDServer::Kind;
    const std::tuple<const char*, Kind, bool, QByteArray, bool, unsigned, unsigned> cases[] = {
        {"renamed over", Kind::plainAndExplicitTLS, false, after, false, 0600, 0600},
        {"stopped halfway", Kind::plainAndExplicitTLS, true, before, false, 0600, 0600},
        {"renames refused", Kind::withoutRename, false, after, true, 0755, 0755},
        {"mode from LIST", Kind::withoutMLSD, false, after, false, 0755, 0755},
        {"modes refused", Kind::withoutChmod, false, after, false, 0600, 0644},
    };
    for (const auto& [what, kind, stopHalfway, expected, direct, mode, expectedMode] : cases) {
        const ProFTPDServer server({kind, false});
        const TemporaryFolder local;
        ::chmod(QFile::encodeName(server.put("/slow/notes.txt", before)).constData(), mode);
        const FTPClient client(server.profile(FTPProtocol::ftp), ProFTPDServer::password());
        const std::optional<quint32> permissions = client.list("/slow", {}).value(0).permissions;
        EXPECT_EQ(permissions, mode) << what;
        std::stop_source stop;
        bool wroteDirectly = false;
        // Stops once the server receives the hidden copy, which it takes in at 256 KB/s.
        std::jthread stopper([&, stopHalfway = stopHalfway](std::stop_token finished) {
            while (stopHalfway && !finished.stop_requested() && !stop.stop_requested()) {
                if (!QDir(server.local("/slow")).entryList({".notes.txt.*"}, QDir::Files | QDir::Hidden).isEmpty())
                    stop.request_stop();
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        EXPECT_EQ(failureText([&] {
                      client.replace(
                          local.write("notes.txt", after), "/slow/notes.txt", permissions,
                          [&] { wroteDirectly = true; }, nullptr, stop.get_token());
                  }),
                  stopHalfway ? "cancelled" : "(no error)")
            << what;
        stopper.request_stop();
        stopper.join();
        EXPECT_EQ(contentOf(server.local("/slow/notes.txt")), expected) << what;
        EXPECT_EQ(permissionsOf(server.local("/slow/notes.txt")), expectedMode) << what;
        EXPECT_EQ(wroteDirectly, direct) << what;
        // A stop leaves the hidden copy, which only a finished run removes.
        const QStringList left = QDir(server.local("/slow")).entryList(QDir::Files | QDir::Hidden);
        EXPECT_EQ(left.size(), stopHalfway ? 2 : 1) << what;
        if (stopHalfway) {
            EXPECT_TRUE(temporary.match(left.first()).hasMatch()) << left.first().toStdString();
        }
    }
}
