#include "ConnectionEditor.h"
#include "FTPError.h"
#include "L10n.h"
#include "QtPrinters.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPromise>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// The owner's side: what was saved and connected, and a save that fails when told to.
struct Owner {
    QList<ServerProfile> saved;
    QList<ServerProfile> connected;
    QString savedPassword;
    std::optional<QString> failure;
    QFuture<QString> stored;

    ConnectionEditor::Services services()
    {
        return {[this](const ServerProfile& profile, const QString& password) {
                    if (failure)
                        throw FTPError::message(*failure);
                    saved << profile;
                    savedPassword = password;
                },
                [this](const ServerProfile& profile, const QString&) { connected << profile; },
                [this](const QUuid&) { return stored; }};
    }
};

template <typename T> T* field(const QWidget& editor, const char* key)
{
    for (T* widget : editor.findChildren<T*>())
        if (widget->accessibleName() == L(key))
            return widget;
    ADD_FAILURE() << "no field " << key;
    return nullptr;
}

QPushButton* button(const QWidget& editor, const char* key)
{
    for (QPushButton* widget : editor.findChildren<QPushButton*>())
        if (widget->text() == L(key))
            return widget;
    return nullptr;
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

ServerProfile profile(FTPProtocol protocol, qint64 port)
{
    ServerProfile profile;
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

TEST(ConnectionEditor, SavesTrimmedTextsAndConnectsOnlyWhenAsked)
{
    Owner owner;
    ConnectionEditor editor(std::nullopt, owner.services());
    field<QLineEdit>(editor, "name")->selectAll();
    QTest::keyClicks(field<QLineEdit>(editor, "name"), "   ");
    QTest::keyClicks(field<QLineEdit>(editor, "server"), "  ftp.example.org\t ");
    QTest::keyClicks(field<QLineEdit>(editor, "password"), " secret ");
    button(editor, "save")->click();
    ASSERT_EQ(owner.saved.size(), 1);
    EXPECT_EQ(owner.saved[0].host, "ftp.example.org");
    EXPECT_EQ(owner.saved[0].name, "ftp.example.org");
    EXPECT_EQ(owner.savedPassword, " secret ");
    EXPECT_TRUE(owner.connected.isEmpty());
    EXPECT_EQ(editor.result(), QDialog::Accepted);

    ConnectionEditor again(owner.saved[0], owner.services());
    button(again, "save_connect")->click();
    ASSERT_EQ(owner.connected.size(), 1);
    EXPECT_EQ(owner.connected[0].id, owner.saved[0].id);
}

TEST(ConnectionEditor, AFailedSaveShowsItsMessageAndKeepsTheInput)
{
    Owner owner;
    owner.failure = L("invalid_host");
    ConnectionEditor editor(std::nullopt, owner.services());
    editor.show();
    QTest::keyClicks(field<QLineEdit>(editor, "username"), "anna");
    button(editor, "save_connect")->click();
    EXPECT_TRUE(editor.isVisible());
    EXPECT_TRUE(owner.connected.isEmpty());
    EXPECT_EQ(field<QLineEdit>(editor, "username")->text(), "anna");
    EXPECT_TRUE(shows(editor, L("invalid_host")));
}

TEST(ConnectionEditor, SFTPFieldsAndThePassphraseLabel)
{
    Owner owner;
    ConnectionEditor editor(profile(FTPProtocol::ftp, 21), owner.services());
    editor.show();
    QLineEdit* password = field<QLineEdit>(editor, "password");
    EXPECT_FALSE(field<QLineEdit>(editor, "ssh_key")->isVisible());
    choose(editor, FTPProtocol::sftp);
    QLineEdit* key = field<QLineEdit>(editor, "ssh_key");
    EXPECT_TRUE(key->isVisible());
    EXPECT_EQ(password->accessibleName(), L("password"));
    QTest::keyClicks(key, "/home/me/.ssh/id_ed25519");
    EXPECT_EQ(password->accessibleName(), L("ssh_passphrase"));
    EXPECT_EQ(editor.profile().sshKeyPath, "/home/me/.ssh/id_ed25519");
    choose(editor, FTPProtocol::explicitTLS);
    EXPECT_EQ(password->accessibleName(), L("password"));

    choose(editor, FTPProtocol::sftp);
    QLineEdit* fingerprint = field<QLineEdit>(editor, "ssh_fingerprint");
    QTest::keyClicks(fingerprint, "SHA256:abc");
    EXPECT_EQ(editor.profile().sshFingerprint, "SHA256:abc");
    fingerprint->selectAll();
    QTest::keyClick(fingerprint, Qt::Key_Delete);
    EXPECT_EQ(editor.profile().sshFingerprint, "");

    // The chooser fills the key field; cancelling it changes nothing.
    field<QToolButton>(editor, "choose_key_file")->click();
    QFileDialog* chooser = editor.findChild<QFileDialog*>();
    ASSERT_NE(chooser, nullptr);
    chooser->reject();
    QTest::qWait(0);
    EXPECT_EQ(editor.profile().sshKeyPath, "/home/me/.ssh/id_ed25519");
}

TEST(ConnectionEditor, FillsTheStoredPasswordUnlessThePersonTypedFirst)
{
    Owner owner;
    ServerProfile remembered = profile(FTPProtocol::ftp, 21);
    remembered.rememberPassword = true;
    QPromise<QString> answer;
    owner.stored = answer.future();
    ConnectionEditor editor(remembered, owner.services());
    answer.start();
    answer.addResult("from the keyring");
    answer.finish();
    QTest::qWait(0);
    EXPECT_EQ(field<QLineEdit>(editor, "password")->text(), "from the keyring");

    QPromise<QString> late;
    owner.stored = late.future();
    ConnectionEditor typing(remembered, owner.services());
    QTest::keyClicks(field<QLineEdit>(typing, "password"), "typed");
    late.start();
    late.addResult("from the keyring");
    late.finish();
    QTest::qWait(0);
    EXPECT_EQ(field<QLineEdit>(typing, "password")->text(), "typed");

    QPromise<QString> locked;
    owner.stored = locked.future();
    ConnectionEditor failing(remembered, owner.services());
    failing.show();
    locked.start();
    locked.setException(std::make_exception_ptr(FTPError::message("Keychain: locked")));
    locked.finish();
    QTest::qWait(0);
    EXPECT_TRUE(shows(failing, "Keychain: locked"));
}

TEST(ConnectionEditor, EscapeCancelsReturnSavesAndConnectsUnlessTransfersArePending)
{
    Owner owner;
    ServerProfile valid = profile(FTPProtocol::ftp, 21);
    ConnectionEditor cancelled(valid, owner.services());
    cancelled.show();
    QTest::keyClick(field<QLineEdit>(cancelled, "server"), Qt::Key_Escape);
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
    EXPECT_TRUE(owner.saved.isEmpty());

    ConnectionEditor confirmed(valid, owner.services());
    confirmed.show();
    QTest::keyClick(field<QLineEdit>(confirmed, "server"), Qt::Key_Return);
    EXPECT_EQ(owner.saved.size(), 1);
    EXPECT_EQ(owner.connected.size(), 1);

    ConnectionEditor busy(valid, owner.services());
    busy.setTransfersPending(true);
    EXPECT_FALSE(button(busy, "save_connect")->isEnabled());
    busy.setTransfersPending(false);
    EXPECT_TRUE(button(busy, "save_connect")->isEnabled());
}
