#include "ConnectionEditor.h"

#include "DialogPlacement.h"
#include "DisplayText.h"
#include "ErrorText.h"
#include "FileChooser.h"
#include "Icons.h"
#include "L10n.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

ConnectionEditor::ConnectionEditor(const std::optional<ServerProfile>& profile, Services services, QWidget* parent)
    : Retranslating(parent), m_profile(profile.value_or(ServerProfile())), m_services(std::move(services))
{
    buildForm();

    // Sentences quote what the person typed: shown as written, never as markup.
    m_error = DisplayText::plain(new QLabel);
    m_error->setWordWrap(true);
    QPalette warning = m_error->palette();
    warning.setColor(QPalette::WindowText, Qt::red);
    m_error->setPalette(warning);
    m_error->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(makeHeader());
    layout->addLayout(m_form);
    layout->addWidget(m_error);
    layout->addLayout(makeButtons());
    m_saveConnect->setDefault(true);
    setFixedWidth(540);

    fillFields();
    retranslate();
    setError({});
    DialogPlacement::shared().registerDialog(this);
    readStoredPassword();
}

// The title, and the note on how safe the chosen protocol is.
QLayout* ConnectionEditor::makeHeader()
{
    auto* icon = new QLabel;
    icon->setPixmap(Icons::icon(u"server.rack"_s).pixmap(40));
    m_title = DisplayText::emphasised(new QLabel, 1.3);
    m_subtitle = new QLabel;
    m_subtitle->setWordWrap(true);
    auto* titles = new QVBoxLayout;
    titles->addWidget(m_title);
    titles->addWidget(m_subtitle);
    auto* title = new QHBoxLayout;
    title->addWidget(icon, 0, Qt::AlignTop);
    title->addLayout(titles, 1);

    m_note = new QWidget;
    m_noteIcon = new QLabel;
    m_noteText = new QLabel;
    m_noteText->setWordWrap(true);
    auto* note = new QHBoxLayout(m_note);
    note->setContentsMargins(0, 0, 0, 0);
    note->addWidget(m_noteIcon);
    note->addWidget(m_noteText, 1);
    auto* header = new QVBoxLayout;
    header->addLayout(title);
    header->addWidget(m_note);
    return header;
}

QLayout* ConnectionEditor::makeButtons()
{
    m_cancel = new QPushButton;
    m_save = new QPushButton;
    m_saveConnect = new QPushButton;
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_save, &QPushButton::clicked, this, [this] { submit(false); });
    connect(m_saveConnect, &QPushButton::clicked, this, [this] { submit(true); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {m_cancel, m_save, m_saveConnect})
        buttons->addWidget(button);
    return buttons;
}

void ConnectionEditor::buildForm()
{
    m_form = new QFormLayout;
    m_form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    const auto row = [this](QLabel*& label, QWidget* field) {
        label = new QLabel;
        m_form->addRow(label, field);
    };
    m_name = new QLineEdit;
    row(m_nameLabel, m_name);
    m_host = new QLineEdit;
    m_host->setPlaceholderText(u"ftp.example.com"_s);
    row(m_hostLabel, m_host);
    m_protocol = new QComboBox;
    for (FTPProtocol protocol : FTPProtocols::allCases())
        m_protocol->addItem(QString(), static_cast<int>(protocol));
    row(m_protocolLabel, m_protocol);
    m_port = new QSpinBox;
    m_port->setRange(0, 65535);
    // A port is a technical number: always in ASCII digits, whatever the interface language.
    m_port->setLocale(QLocale::c());
    row(m_portLabel, m_port);
    m_username = new QLineEdit;
    row(m_usernameLabel, m_username);
    m_password = new QLineEdit;
    m_password->setEchoMode(QLineEdit::Password);
    row(m_passwordLabel, m_password);

    m_keyRow = new QWidget;
    m_keyPath = new QLineEdit;
    m_chooseKey = new QToolButton;
    m_chooseKey->setIcon(Icons::icon(u"folder"_s));
    auto* key = new QHBoxLayout(m_keyRow);
    key->setContentsMargins(0, 0, 0, 0);
    key->addWidget(m_keyPath, 1);
    key->addWidget(m_chooseKey);
    row(m_keyLabel, m_keyRow);

    m_fingerprintRow = new QWidget;
    m_fingerprint = new QLineEdit;
    m_fingerprintHint = new QLabel;
    m_fingerprintHint->setWordWrap(true);
    auto* fingerprint = new QVBoxLayout(m_fingerprintRow);
    fingerprint->setContentsMargins(0, 0, 0, 0);
    fingerprint->addWidget(m_fingerprint);
    fingerprint->addWidget(m_fingerprintHint);
    row(m_fingerprintLabel, m_fingerprintRow);

    m_initialPath = new QLineEdit;
    row(m_initialPathLabel, m_initialPath);
    m_remember = new QCheckBox;
    m_form->addRow(QString(), m_remember);
}

void ConnectionEditor::fillFields()
{
    m_name->setText(m_profile.name);
    m_host->setText(m_profile.host);
    m_protocol->setCurrentIndex(FTPProtocols::allCases().indexOf(m_profile.protocolType));
    m_port->setValue(static_cast<int>(m_profile.port));
    m_username->setText(m_profile.username);
    m_keyPath->setText(m_profile.sshKeyPath.value_or(QString()));
    m_fingerprint->setText(m_profile.sshFingerprint.value_or(QString()));
    m_initialPath->setText(m_profile.initialPath);
    m_remember->setChecked(m_profile.rememberPassword);

    // Only what the person changes reaches the working copy.
    connect(m_name, &QLineEdit::textEdited, this, [this](const QString& text) { m_profile.name = text; });
    connect(m_host, &QLineEdit::textEdited, this, [this](const QString& text) { m_profile.host = text; });
    connect(m_protocol, &QComboBox::currentIndexChanged, this, &ConnectionEditor::changeProtocol);
    connect(m_port, &QSpinBox::valueChanged, this, [this](int port) { m_profile.port = port; });
    connect(m_username, &QLineEdit::textEdited, this, [this](const QString& text) { m_profile.username = text; });
    connect(m_keyPath, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text != m_profile.sshKeyPath.value_or(QString()))
            m_profile.sshKeyPath = text;
        showProtocolDetails();
    });
    connect(m_chooseKey, &QToolButton::clicked, this, &ConnectionEditor::chooseKeyFile);
    connect(m_fingerprint, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_profile.sshFingerprint = text; });
    connect(m_initialPath, &QLineEdit::textEdited, this, [this](const QString& text) { m_profile.initialPath = text; });
    connect(m_remember, &QCheckBox::toggled, this, [this](bool on) { m_profile.rememberPassword = on; });
}

void ConnectionEditor::changeProtocol(int index)
{
    const FTPProtocol previous = m_profile.protocolType;
    m_profile.protocolType = FTPProtocols::allCases().value(index, previous);
    // A port left at the old protocol's default follows the protocol; one the person chose stays.
    if (m_profile.port == FTPProtocols::defaultPort(previous))
        m_port->setValue(FTPProtocols::defaultPort(m_profile.protocolType));
    showProtocolDetails();
}

void ConnectionEditor::showProtocolDetails()
{
    const FTPProtocol protocol = m_profile.protocolType;
    const bool sftp = protocol == FTPProtocol::sftp;
    m_note->setVisible(!sftp);
    m_noteIcon->setPixmap(Icons::icon(protocol == FTPProtocol::ftp ? u"lock.open"_s : u"lock.shield"_s).pixmap(20));
    m_noteText->setText(protocol == FTPProtocol::ftp ? L("ftp_warning") : L("tls_hint"));
    m_form->setRowVisible(m_keyRow, sftp);
    m_form->setRowVisible(m_fingerprintRow, sftp);
    // With a key file the secret unlocks the key instead of logging in.
    const bool passphrase = sftp && !m_profile.sshKeyPath.value_or(QString()).isEmpty();
    DisplayText::nameField(m_passwordLabel, m_password, passphrase ? L("ssh_passphrase") : L("password"));
    fitHeight();
}

void ConnectionEditor::readStoredPassword()
{
    if (!m_profile.rememberPassword || !m_services.storedPassword)
        return;
    m_services.storedPassword(m_profile.id).then(this, [this](QFuture<QString> stored) {
        try {
            const QString password = stored.result();
            // The person may have typed while the store was answering; their text wins.
            if (m_password->text().isEmpty())
                m_password->setText(password);
        } catch (...) {
            setError(ErrorText::sentence(std::current_exception()).value_or(QString()));
        }
    });
}

void ConnectionEditor::chooseKeyFile()
{
    const QString ssh = QDir::home().filePath(u".ssh"_s);
    const QString start = QDir(ssh).exists() ? ssh : QDir::homePath();
    FileChooser::choose(this, L("ssh_key"), start, QFileDialog::ExistingFile)
        .then(this, [this](const std::optional<QString>& path) {
            if (path)
                m_keyPath->setText(*path);
        });
}

void ConnectionEditor::submit(bool connecting)
{
    if (m_saving || (connecting && m_transfersPending))
        return;
    m_profile.host = m_profile.host.trimmed();
    m_profile.name = m_profile.name.trimmed();
    if (m_profile.name.isEmpty())
        m_profile.name = m_profile.host;
    m_host->setText(m_profile.host);
    m_name->setText(m_profile.name);
    if (showProblems())
        return;
    const QString password = m_password->text();
    m_saving = true;
    showSubmitState();
    // The dialog may go before the store answers; then nothing more happens here.
    m_services.save(m_profile, password)
        .then(this, [this, connecting, password, saved = m_profile](const std::optional<QString>& failure) {
            m_saving = false;
            showSubmitState();
            if (failure)
                return setError(*failure);
            if (connecting)
                m_services.connect(saved, password);
            accept();
        });
}

void ConnectionEditor::setTransfersPending(bool pending)
{
    m_transfersPending = pending;
    showSubmitState();
}

void ConnectionEditor::showSubmitState()
{
    m_save->setEnabled(!m_saving);
    m_saveConnect->setEnabled(!m_saving && !m_transfersPending);
}

void ConnectionEditor::setError(const QString& text)
{
    m_error->setText(text);
    m_error->setVisible(!text.isEmpty());
    fitHeight();
}

QWidget* ConnectionEditor::fieldOf(ServerProfile::Field field) const
{
    switch (field) {
    case ServerProfile::Field::host: return m_host;
    case ServerProfile::Field::port: return m_port;
    case ServerProfile::Field::fingerprint: return m_fingerprint;
    case ServerProfile::Field::username: return m_username;
    case ServerProfile::Field::initialPath: return m_initialPath;
    }
    return nullptr;
}

bool ConnectionEditor::showProblems()
{
    const QList<ServerProfile::Problem> problems = m_profile.problems();
    QStringList sentences;
    QWidget* first = nullptr;
    for (QWidget* field : QList<QWidget*>{m_host, m_port, m_fingerprint, m_username, m_initialPath}) {
        field->setPalette(QPalette());
        field->setAccessibleDescription(QString());
    }
    for (const ServerProfile::Problem& problem : problems) {
        QWidget* field = fieldOf(problem.field);
        // The field's own background, turned towards red: marked in light and dark palettes alike.
        QPalette marked = field->palette();
        const QColor base = marked.color(QPalette::Base);
        marked.setColor(QPalette::Base,
                        QColor::fromRgbF(base.redF() * 0.6f + 0.4f, base.greenF() * 0.75f, base.blueF() * 0.75f));
        field->setPalette(marked);
        field->setAccessibleDescription(problem.sentence);
        sentences << problem.sentence;
        if (!first)
            first = field;
    }
    setError(sentences.join(u'\n'));
    if (first)
        first->setFocus();
    return first;
}

void ConnectionEditor::fitHeight()
{
    // The width is fixed: rows that appear and lines that wrap make the window taller instead of
    // squeezing the fields.
    if (!layout())
        return;
    layout()->activate();
    const int height =
        layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width()) : layout()->totalSizeHint().height();
    setMinimumHeight(height);
    resize(width(), height);
}

void ConnectionEditor::retranslate()
{
    setWindowTitle(L("ftp_connection"));
    m_title->setText(L("ftp_connection"));
    m_subtitle->setText(L("connection_hint"));
    DisplayText::nameField(m_nameLabel, m_name, L("name"));
    DisplayText::nameField(m_hostLabel, m_host, L("server"));
    DisplayText::nameField(m_protocolLabel, m_protocol, L("protocol"));
    for (int i = 0; i < m_protocol->count(); ++i)
        m_protocol->setItemText(i, FTPProtocols::label(FTPProtocols::allCases().at(i)));
    DisplayText::nameField(m_portLabel, m_port, L("port"));
    DisplayText::nameField(m_usernameLabel, m_username, L("username"));
    DisplayText::nameField(m_keyLabel, m_keyPath, L("ssh_key"));
    DisplayText::setIconButtonText(m_chooseKey, L("choose_key_file"));
    DisplayText::nameField(m_fingerprintLabel, m_fingerprint, L("ssh_fingerprint"));
    m_fingerprintHint->setText(L("ssh_fingerprint_hint"));
    DisplayText::nameField(m_initialPathLabel, m_initialPath, L("initial_folder"));
    m_remember->setText(L("remember_password"));
    m_cancel->setText(L("cancel"));
    m_save->setText(L("save"));
    m_saveConnect->setText(L("save_connect"));
    showProtocolDetails();
}
