#include "ConnectionEditor.h"
#include "FTPError.h"
#include "QtPrinters.h"
#include "WindowProbe.h"

#include <QComboBox>
#include <QFileDialog>
#include <QPromise>
#include <QSpinBox>

namespace {

// The owner's side: what was saved and connected, a save that fails when told to, and the answer
// of the password store.
struct Owner {
    QList<ServerProfile> saved;
    QString savedPassword;
    QList<ServerProfile> connected;
    std::optional<QString> failure;
    QPromise<QString> stored;

    ConnectionEditor::Services services()
    {
        return {[this](const ServerProfile& profile, const QString& password) {
                    if (!failure) {
                        saved << profile;
                        savedPassword = password;
                    }
                    return QtFuture::makeReadyFuture(failure);
                },
                [this](const ServerProfile& profile, const QString&) { connected << profile; },
                [this](const QUuid&) { return stored.future(); }};
    }
};

// Fields are found as a screen reader finds them: by their accessible names.
QLineEdit* field(const QWidget& editor, const char* key)
{
    return control<QLineEdit>(editor, L(key));
}

// The owner answers a save through the event loop.
void press(const QWidget& editor, const char* key)
{
    control(editor, L(key))->click();
    QTest::qWait(0);
}

bool shows(const QWidget& editor, const QString& text)
{
    for (QLabel* label : editor.findChildren<QLabel*>())
        if (label->isVisible() && label->text() == text)
            return true;
    return false;
}

void choose(const QWidget& editor, FTPProtocol protocol)
{
    editor.findChild<QComboBox*>()->setCurrentIndex(FTPProtocols::allCases().indexOf(protocol));
}

// Every shown line of text has the height it needs, wrapped at its width, and no field is squeezed.
QStringList clipped(const QWidget& editor)
{
    QTest::qWait(0);
    QStringList found;
    for (QLabel* label : editor.findChildren<QLabel*>())
        if (label->isVisible() && label->wordWrap() && label->height() < label->heightForWidth(label->width()))
            found << label->text();
    for (QLineEdit* field : editor.findChildren<QLineEdit*>())
        if (field->isVisible() && !field->accessibleName().isEmpty() &&
            field->height() < field->minimumSizeHint().height())
            found << field->accessibleName();
    return found;
}

ServerProfile profile(FTPProtocol protocol, qint64 port = 21)
{
    ServerProfile profile;
    profile.host = "ftp.example.org";
    profile.username = "anna";
    profile.protocolType = protocol;
    profile.port = port;
    return profile;
}

} // namespace

TEST(ConnectionEditor, PortFollowsTheProtocolOnlyWhileAtTheDefault)
{
    const struct {
        FTPProtocol start;
        qint64 port;
        QList<std::pair<FTPProtocol, int>> steps;
    } cases[] = {
        {FTPProtocol::ftp, 21, {{FTPProtocol::sftp, 22}, {FTPProtocol::ftp, 21}, {FTPProtocol::implicitTLS, 990}}},
        {FTPProtocol::explicitTLS, 21, {{FTPProtocol::ftp, 21}, {FTPProtocol::implicitTLS, 990}}},
        {FTPProtocol::ftp, 2121, {{FTPProtocol::sftp, 2121}, {FTPProtocol::implicitTLS, 2121}}},
    };
    Owner owner;
    for (const auto& c : cases) {
        ConnectionEditor editor(profile(c.start, c.port), owner.services());
        for (const auto& [protocol, port] : c.steps) {
            choose(editor, protocol);
            EXPECT_EQ(editor.profile().port, port) << FTPProtocols::rawValue(protocol).toStdString();
            EXPECT_EQ(editor.findChild<QSpinBox*>()->value(), port);
        }
    }
}

TEST(ConnectionEditor, SavesTrimmedTextsConnectsOnlyWhenAskedAndShowsAFailedSave)
{
    Owner owner;
    ConnectionEditor editor(std::nullopt, owner.services());
    type(editor, "name", "   ");
    type(editor, "server", "  ftp.example.org\t ");
    type(editor, "username", "anna");
    type(editor, "password", " secret ");
    press(editor, "save");
    ASSERT_EQ(owner.saved.size(), 1);
    EXPECT_EQ(owner.saved[0].host, "ftp.example.org");
    EXPECT_EQ(owner.saved[0].name, "ftp.example.org");
    EXPECT_EQ(owner.savedPassword, " secret ");
    EXPECT_TRUE(owner.connected.isEmpty());
    EXPECT_EQ(editor.result(), QDialog::Accepted);

    owner.failure = L("invalid_host");
    ConnectionEditor failing(owner.saved[0], owner.services());
    failing.show();
    type(failing, "username", "bob");
    press(failing, "save_connect");
    EXPECT_TRUE(failing.isVisible() && shows(failing, L("invalid_host")));
    EXPECT_EQ(field(failing, "username")->text(), "bob");

    owner.failure.reset();
    press(failing, "save_connect");
    EXPECT_EQ(owner.connected.size(), 1);
    EXPECT_EQ(owner.saved.last().username, "bob");
}

TEST(ConnectionEditor, EachFieldAtFaultIsMarkedAndNamedAndNothingIsClipped)
{
    Owner owner;
    for (const char* language : {"en", "de", "ar", "ja"}) {
        L10n::selectForThisRun(language);
        ConnectionEditor editor(std::nullopt, owner.services());
        editor.show();
        choose(editor, FTPProtocol::sftp);
        EXPECT_EQ(clipped(editor), QStringList()) << language;
        editor.findChild<QSpinBox*>()->setValue(0);
        type(editor, "username", "anna");
        type(editor, "ssh_fingerprint", "SHA256:abc");
        press(editor, "save");
        EXPECT_TRUE(owner.saved.isEmpty());
        const QStringList sentences{L("invalid_host"), L("invalid_port"), L("ssh_fingerprint_length", "3")};
        EXPECT_TRUE(shows(editor, sentences.join('\n'))) << language;
        for (const auto& [key, sentence] : {std::pair{"server", sentences[0]}, {"ssh_fingerprint", sentences[2]}})
            EXPECT_EQ(field(editor, key)->accessibleDescription(), sentence) << language;
        EXPECT_EQ(field(editor, "username")->accessibleDescription(), "");
        EXPECT_EQ(clipped(editor), QStringList()) << language;
    }
    L10n::selectForThisRun("en");
}

TEST(ConnectionEditor, SFTPKeyFilePassphraseAndFingerprint)
{
    Owner owner;
    ConnectionEditor editor(profile(FTPProtocol::ftp), owner.services());
    editor.show();
    QLineEdit* password = field(editor, "password");
    EXPECT_FALSE(field(editor, "ssh_key")->isVisible());
    choose(editor, FTPProtocol::sftp);
    EXPECT_TRUE(field(editor, "ssh_key")->isVisible());
    EXPECT_EQ(password->accessibleName(), L("password"));
    type(editor, "ssh_key", "/home/me/.ssh/id_ed25519");
    EXPECT_EQ(password->accessibleName(), L("ssh_passphrase"));
    EXPECT_EQ(editor.profile().sshKeyPath, "/home/me/.ssh/id_ed25519");
    choose(editor, FTPProtocol::explicitTLS);
    EXPECT_EQ(password->accessibleName(), L("password"));

    choose(editor, FTPProtocol::sftp);
    type(editor, "ssh_fingerprint", "SHA256:abc");
    EXPECT_EQ(editor.profile().sshFingerprint, "SHA256:abc");
    field(editor, "ssh_fingerprint")->selectAll();
    QTest::keyClick(field(editor, "ssh_fingerprint"), Qt::Key_Backspace);
    EXPECT_EQ(editor.profile().sshFingerprint, "");

    // The chooser looks for files only; cancelling it keeps the key.
    control(editor, L("choose_key_file"))->click();
    QFileDialog* chooser = editor.findChild<QFileDialog*>();
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->fileMode(), QFileDialog::ExistingFile);
    QMetaObject::invokeMethod(chooser, "reject");
    QTest::qWait(0);
    EXPECT_EQ(editor.profile().sshKeyPath, "/home/me/.ssh/id_ed25519");
}

TEST(ConnectionEditor, FillsTheStoredPasswordUnlessThePersonTypedFirstAndShowsAFailedRead)
{
    ServerProfile remembered = profile(FTPProtocol::ftp);
    remembered.rememberPassword = true;
    const struct {
        const char* typed;
        std::exception_ptr failure;
        const char* password;
        const char* error;
    } cases[] = {
        {"", nullptr, "from the keyring", ""},
        {"typed", nullptr, "typed", ""},
        {"", std::make_exception_ptr(FTPError::message("Keychain: locked")), "", "Keychain: locked"},
    };
    for (const auto& c : cases) {
        Owner owner;
        ConnectionEditor editor(remembered, owner.services());
        editor.show();
        type(editor, "password", c.typed);
        owner.stored.start();
        if (c.failure)
            owner.stored.setException(c.failure);
        else
            owner.stored.addResult("from the keyring");
        owner.stored.finish();
        QTest::qWait(0);
        EXPECT_EQ(field(editor, "password")->text(), c.password);
        EXPECT_TRUE(!*c.error || shows(editor, c.error));
    }
}

TEST(ConnectionEditor, EscapeCancelsReturnSavesAndConnectsUnlessTransfersArePending)
{
    Owner owner;
    ConnectionEditor cancelled(profile(FTPProtocol::ftp), owner.services());
    cancelled.show();
    QTest::keyClick(field(cancelled, "server"), Qt::Key_Escape);
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
    EXPECT_TRUE(owner.saved.isEmpty());

    ConnectionEditor confirmed(profile(FTPProtocol::ftp), owner.services());
    confirmed.show();
    QTest::keyClick(field(confirmed, "server"), Qt::Key_Return);
    QTest::qWait(0);
    EXPECT_EQ(owner.saved.size(), 1);
    EXPECT_EQ(owner.connected.size(), 1);

    ConnectionEditor busy(profile(FTPProtocol::ftp), owner.services());
    busy.show();
    busy.setTransfersPending(true);
    QTest::keyClick(field(busy, "server"), Qt::Key_Return);
    EXPECT_TRUE(owner.connected.size() == 1 && busy.isVisible());
    busy.setTransfersPending(false);
    QTest::keyClick(field(busy, "server"), Qt::Key_Return);
    QTest::qWait(0);
    EXPECT_EQ(owner.connected.size(), 2);
}
