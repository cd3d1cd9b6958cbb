#include "FTPError.h"
#include "L10n.h"
#include "ServerProfile.h"

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

// The key of the first rule the profile breaks, or "" when it validates.
QString failingKey(const ServerProfile& profile)
{
    try {
        profile.validate();
        return {};
    } catch (const FTPError& error) {
        for (const char* key : {"invalid_host", "invalid_user", "invalid_initial_path", "ssh_fingerprint_hint"})
            if (error.errorDescription() == L(QString::fromLatin1(key)))
                return QString::fromLatin1(key);
        return error.errorDescription();
    }
}

const QString digest43 = QStringLiteral("47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU");

}

TEST(ServerProfile, NewProfileHasTheDefaults)
{
    const ServerProfile profile;
    EXPECT_EQ(profile.port, 21);
    EXPECT_EQ(profile.protocolType, FTPProtocol::explicitTLS);
    EXPECT_TRUE(profile.host.isEmpty());
    EXPECT_TRUE(profile.username.isEmpty());
    EXPECT_EQ(profile.initialPath, QStringLiteral("/"));
    EXPECT_EQ(profile.name, L("new_server"));
    EXPECT_FALSE(profile.rememberPassword);
    EXPECT_FALSE(profile.sshKeyPath || profile.sshFingerprint);
    EXPECT_NE(ServerProfile().id, profile.id);
}

TEST(ServerProfile, ValidationRulesInOrder)
{
    struct Case {
        const char* label;
        std::function<void(ServerProfile&)> change;
        const char* key;
    };
    const std::vector<Case> cases = {
        {"valid", [](ServerProfile&) {}, ""},
        {"empty host", [](ServerProfile& p) { p.host.clear(); }, "invalid_host"},
        {"leading hyphen", [](ServerProfile& p) { p.host = "-oProxy"; }, "invalid_host"},
        {"at sign", [](ServerProfile& p) { p.host = "a@b"; }, "invalid_host"},
        {"slash", [](ServerProfile& p) { p.host = "a/b"; }, "invalid_host"},
        {"space", [](ServerProfile& p) { p.host = "a b"; }, "invalid_host"},
        {"no-break space", [](ServerProfile& p) { p.host = QString::fromUtf8("a\u00a0b"); }, "invalid_host"},
        {"number sign", [](ServerProfile& p) { p.host = "a#b"; }, "invalid_host"},
        {"backslash", [](ServerProfile& p) { p.host = "a\\b"; }, "invalid_host"},
        {"port 0", [](ServerProfile& p) { p.port = 0; }, "invalid_host"},
        {"port 65536", [](ServerProfile& p) { p.port = 65536; }, "invalid_host"},
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
        {"host before path",
         [](ServerProfile& p) {
             p.host = "";
             p.initialPath = "x";
         },
         "invalid_host"},
        {"fingerprint ignored for FTP", [](ServerProfile& p) { p.sshFingerprint = "nonsense"; }, ""},
    };
    for (const Case& c : cases) {
        ServerProfile profile = validProfile();
        c.change(profile);
        EXPECT_EQ(failingKey(profile), QString::fromLatin1(c.key)) << c.label;
    }
}

TEST(ServerProfile, SftpFingerprintMustDecodeTo32Bytes)
{
    const std::vector<std::pair<std::optional<QString>, const char*>> cases = {
        {QStringLiteral("SHA256:") + digest43, ""},
        {digest43, ""},
        {digest43 + QLatin1Char('='), ""},
        {QStringLiteral("SHA256:") + QByteArray(20, 'x').toBase64(), "ssh_fingerprint_hint"},
        {std::nullopt, "ssh_fingerprint_hint"},
        {QStringLiteral("SHA256:") + digest43.left(20) + QLatin1Char(' ') + digest43.mid(21), "ssh_fingerprint_hint"},
        {QStringLiteral("SHA256:") + digest43.left(42) + QLatin1Char('*'), "ssh_fingerprint_hint"},
    };
    for (const auto& [fingerprint, key] : cases) {
        ServerProfile profile = validProfile(FTPProtocol::sftp);
        profile.sshFingerprint = fingerprint;
        EXPECT_EQ(failingKey(profile), QString::fromLatin1(key)) << fingerprint.value_or("(absent)").toStdString();
    }
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
    const ServerProfile decoded = ServerProfile::fromJson(profile.toJson());
    EXPECT_FALSE(decoded.sshFingerprint.has_value());
    EXPECT_FALSE(decoded.sshKeyPath.has_value());
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

TEST(ServerProfile, EqualityComparesEveryField)
{
    const ServerProfile a = validProfile();
    ServerProfile b = a;
    EXPECT_EQ(a, b);
    b.name = QStringLiteral("Renamed");
    EXPECT_NE(a, b);
    EXPECT_EQ(a.id, b.id);
}
