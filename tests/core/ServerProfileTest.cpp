#include "ServerProfile.h"
#include "FTPError.h"
#include "L10n.h"
#include "TestFiles.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {

ServerProfile validProfile(FTPProtocol protocol = FTPProtocol::ftp)
{
    ServerProfile profile;
    profile.host = QStringLiteral("files.example.org");
    profile.username = QStringLiteral("alice");
    profile.protocolType = protocol;
    return profile;
}

// The sentence of the first rule the profile breaks, or "(no error)" when it validates.
QString failure(const ServerProfile& profile)
{
    return ftptest::failureText([&] { profile.validate(); });
}

// The text of a key, or a sentence already made (which names no key), or no error at all.
QString sentence(const QString& expected)
{
    return expected.isEmpty() ? QStringLiteral("(no error)") : L(expected);
}

const QString digest43 = QStringLiteral("47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU");

} // namespace

TEST(ServerProfile, ValidationRulesInOrder)
{
    for (const char* host : {"", "-oProxy", "a@b", "a/b", "a b", "a\u00a0b", "a#b", "a?b", "a\\b"}) {
        ServerProfile profile = validProfile();
        profile.host = host;
        EXPECT_EQ(failure(profile), L("invalid_host")) << host;
    }
    using Change = std::function<void(ServerProfile&)>;
    const auto sftp = [](const std::optional<QString>& pin) -> Change {
        return [pin](ServerProfile& p) {
            p.protocolType = FTPProtocol::sftp;
            p.sshFingerprint = pin;
        };
    };
    const std::vector<std::tuple<const char*, Change, QString>> cases = {
        {"valid", [](ServerProfile&) {}, ""},
        {"port 0", [](ServerProfile& p) { p.port = 0; }, "invalid_port"},
        {"port 65536", [](ServerProfile& p) { p.port = 65536; }, "invalid_port"},
        {"port 1", [](ServerProfile& p) { p.port = 1; }, ""},
        {"port 65535", [](ServerProfile& p) { p.port = 65535; }, ""},
        {"user with colon", [](ServerProfile& p) { p.username = "a:b"; }, "invalid_user"},
        {"empty user", [](ServerProfile& p) { p.username.clear(); }, "invalid_user"},
        {"user with line feed", [](ServerProfile& p) { p.username = "a\nb"; }, "invalid_user"},
        {"user with U+2028", [](ServerProfile& p) { p.username = QString::fromUtf8("a\u2028b"); }, "invalid_user"},
        {"user with spaces", [](ServerProfile& p) { p.username = "Alice Smith"; }, ""},
        {"relative path", [](ServerProfile& p) { p.initialPath = "pub"; }, "invalid_initial_path"},
        {"path with NUL", [](ServerProfile& p) { p.initialPath = QString("/a") + QChar(0); }, "invalid_initial_path"},
        {"path with CR", [](ServerProfile& p) { p.initialPath = "/a\rb"; }, "invalid_initial_path"},
        {"fingerprint ignored for FTP", [](ServerProfile& p) { p.sshFingerprint = "nonsense"; }, ""},
        {"SFTP pin", sftp("SHA256:" + digest43), ""},
        {"SFTP pin without prefix", sftp(digest43), ""},
        {"SFTP pin with padding", sftp(digest43 + '='), ""},
        // A wrong fingerprint says what is wrong with it.
        {"SFTP pin of 20 bytes", sftp("SHA256:" + QString::fromLatin1(QByteArray(20, 'x').toBase64())),
         L("ssh_fingerprint_length", "27")},
        {"SFTP pin of 44 characters", sftp(digest43 + 'A'), L("ssh_fingerprint_length", "44")},
        {"SFTP without pin", sftp(std::nullopt), "ssh_fingerprint_missing"},
        {"SFTP pin of only the prefix", sftp("SHA256:"), "ssh_fingerprint_missing"},
        {"SFTP pin with space", sftp("SHA256:" + digest43.left(20) + ' ' + digest43.mid(21)),
         L("ssh_fingerprint_characters", " ")},
        {"SFTP pin with star", sftp("SHA256:" + digest43.left(42) + '*'), L("ssh_fingerprint_characters", "*")},
    };
    for (const auto& [label, change, expected] : cases) {
        ServerProfile profile = validProfile();
        change(profile);
        EXPECT_EQ(failure(profile), sentence(expected)) << label;
    }

    // Each field at fault is named with a sentence of its own.
    ServerProfile several = validProfile(FTPProtocol::sftp);
    several.host.clear();
    several.port = 0;
    several.sshFingerprint = "*";
    QStringList named;
    for (const ServerProfile::Problem& problem : several.problems())
        named << QString::number(int(problem.field)) + ' ' + problem.sentence;
    EXPECT_EQ(named, QStringList({"0 " + L("invalid_host"), "1 " + L("invalid_port"),
                                  "2 " + L("ssh_fingerprint_characters", "*")}));
}

TEST(ServerProfile, JsonRoundTripKeepsEveryFieldAndOmitsAbsentOnes)
{
    ServerProfile profile = validProfile(FTPProtocol::sftp);
    profile.port = 2222;
    profile.initialPath = QStringLiteral("/home/alice");
    profile.rememberPassword = true;
    profile.sshFingerprint = QStringLiteral("SHA256:") + digest43;
    const QJsonObject json = profile.toJson();
    EXPECT_EQ(json.value("id").toString(), profile.id.toString(QUuid::WithoutBraces).toUpper());
    EXPECT_EQ(json.value("protocolType").toString(), QStringLiteral("sftp"));
    EXPECT_FALSE(json.contains("sshKeyPath"));
    EXPECT_EQ(ServerProfile::fromJson(json), profile);
    profile.sshFingerprint.reset();
    profile.sshKeyPath = QStringLiteral("/k");
    EXPECT_EQ(ServerProfile::fromJson(profile.toJson()), profile);
    profile.name = QStringLiteral("Renamed");
    EXPECT_NE(ServerProfile::fromJson(json), profile);
}

TEST(ServerProfile, DecodingFailsAsAWholeOnBadKeys)
{
    const QJsonObject good = validProfile().toJson();
    const std::vector<std::pair<const char*, std::function<void(QJsonObject&)>>> cases = {
        {"missing rememberPassword", [](QJsonObject& o) { o.remove("rememberPassword"); }},
        {"missing id", [](QJsonObject& o) { o.remove("id"); }},
        {"URL scheme as protocol", [](QJsonObject& o) { o["protocolType"] = "ftps"; }},
        {"port as text", [](QJsonObject& o) { o["port"] = "21"; }},
        {"fractional port", [](QJsonObject& o) { o["port"] = 21.5; }},
        {"name as number", [](QJsonObject& o) { o["name"] = 3; }},
        {"key path as number", [](QJsonObject& o) { o["sshKeyPath"] = 3; }},
        {"id not a UUID", [](QJsonObject& o) { o["id"] = "1234"; }},
    };
    for (const auto& [label, change] : cases) {
        QJsonObject broken = good;
        change(broken);
        EXPECT_THROW(ServerProfile::fromJson(broken), FTPError) << label;
    }
    QJsonObject extra = good;
    extra["colour"] = "blue";
    extra["sshKeyPath"] = QJsonValue::Null;
    EXPECT_NO_THROW(ServerProfile::fromJson(extra));
    EXPECT_THROW(ServerProfile::fromJson(QByteArray("[1,2")), FTPError);
}
