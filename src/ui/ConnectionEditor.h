#pragma once

#include "Retranslating.h"
#include "ServerProfile.h"

#include <QDialog>
#include <QFuture>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;

// Creates or edits one saved connection. It edits a private copy: nothing reaches its owner until
// the person saves, and a failed save keeps the dialog open with everything they typed.
class ConnectionEditor : public Retranslating<QDialog> {
    Q_OBJECT

public:
    // What the editor asks of its owner.
    struct Services {
        // Stores the profile and, as the profile asks, its password; the future holds what the
        // person should read when that fails, nothing once saved.
        std::function<QFuture<std::optional<QString>>(const ServerProfile&, const QString& password)> save;
        // Connects to the profile just saved.
        std::function<void(const ServerProfile&, const QString& password)> connect;
        // The password stored for a profile; a failed future carries what the person should read.
        std::function<QFuture<QString>(const QUuid&)> storedPassword;
    };

    // No profile means a new one with the defaults.
    ConnectionEditor(const std::optional<ServerProfile>& profile, Services services, QWidget* parent = nullptr);

    // The working copy as edited so far.
    const ServerProfile& profile() const { return m_profile; }
    // "save_connect" is disabled while the transfer queue has pending items.
    void setTransfersPending(bool pending);
    // A remark as the editor opens, such as what a link left for the person to fill in; shown
    // where a failed save is, and replaced by one.
    void setNotice(const QString& text) { setError(text); }

private:
    QLayout* makeHeader();
    void buildForm();
    QLayout* makeButtons();
    void fillFields();
    void changeProtocol(int index);
    void showProtocolDetails();
    void readStoredPassword();
    void chooseKeyFile();
    void submit(bool connecting);
    void showSubmitState();
    void setError(const QString& text);
    // Marks the fields that break a rule and says, one sentence each, what is wrong with them;
    // whether there were any.
    bool showProblems();
    QWidget* fieldOf(ServerProfile::Field field) const;
    void fitHeight();
    void retranslate() override;

    ServerProfile m_profile;
    Services m_services;
    bool m_transfersPending = false;
    bool m_saving = false;

    QLabel* m_title = nullptr;
    QLabel* m_subtitle = nullptr;
    QWidget* m_note = nullptr;
    QLabel* m_noteIcon = nullptr;
    QLabel* m_noteText = nullptr;
    QFormLayout* m_form = nullptr;
    QLabel* m_nameLabel = nullptr;
    QLineEdit* m_name = nullptr;
    QLabel* m_hostLabel = nullptr;
    QLineEdit* m_host = nullptr;
    QLabel* m_protocolLabel = nullptr;
    QComboBox* m_protocol = nullptr;
    QLabel* m_portLabel = nullptr;
    QSpinBox* m_port = nullptr;
    QLabel* m_usernameLabel = nullptr;
    QLineEdit* m_username = nullptr;
    QLabel* m_passwordLabel = nullptr;
    QLineEdit* m_password = nullptr;
    QLabel* m_keyLabel = nullptr;
    QWidget* m_keyRow = nullptr;
    QLineEdit* m_keyPath = nullptr;
    QToolButton* m_chooseKey = nullptr;
    QLabel* m_fingerprintLabel = nullptr;
    QWidget* m_fingerprintRow = nullptr;
    QLineEdit* m_fingerprint = nullptr;
    QLabel* m_fingerprintHint = nullptr;
    QLabel* m_initialPathLabel = nullptr;
    QLineEdit* m_initialPath = nullptr;
    QCheckBox* m_remember = nullptr;
    QLabel* m_error = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_saveConnect = nullptr;
};
