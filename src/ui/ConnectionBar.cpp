#include "ConnectionBar.h"

#include "AppModel.h"
#include "DisplayText.h"
#include "Icons.h"
#include "L10n.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

QPixmap dot(const QColor& colour, qreal opacity)
{
    constexpr int size = 8;
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(0, 0, size, size);
    return picture;
}

// A small bar that moves without an end: work whose length nobody knows.
QProgressBar* busyIndicator()
{
    auto* indicator = new QProgressBar;
    indicator->setRange(0, 0);
    indicator->setTextVisible(false);
    indicator->setFixedSize(48, 8);
    return indicator;
}

} // namespace

ConnectionBar::ConnectionBar(AppModel& model, QWidget* parent) : Retranslating(parent), m_model(model)
{
    m_dot = new QLabel;
    m_state = DisplayText::emphasised(DisplayText::plain(new QLabel));
    m_preparing = new QLabel;
    m_preparing->setForegroundRole(QPalette::PlaceholderText);
    m_comparing = busyIndicator();
    m_working = busyIndicator();
    m_compare = new QToolButton;
    m_compare->setIcon(Icons::icon(u"rectangle.split.2x1"_s));
    m_compare->setAutoRaise(true);
    connect(m_compare, &QToolButton::clicked, &m_model, &AppModel::compareFolders);
    m_edits = new QToolButton;
    m_edits->setIcon(Icons::icon(u"square.and.pencil"_s));
    m_edits->setAutoRaise(true);
    connect(m_edits, &QToolButton::clicked, this, [this] {
        m_model.scanEdits();
        m_model.setShowEdits(true);
    });

    m_editConnection = new QToolButton;
    m_editConnection->setIcon(Icons::icon(u"slider.horizontal.3"_s));
    m_editConnection->setAutoRaise(true);
    connect(m_editConnection, &QToolButton::clicked, this, [this] {
        m_model.setEditingProfile(m_model.selectedProfile());
        m_model.setShowConnectionEditor(true);
    });
    m_connect = new QPushButton;
    m_connect->setIcon(Icons::icon(u"bolt.horizontal"_s));
    m_connect->setDefault(false);
    connect(m_connect, &QPushButton::clicked, &m_model, &AppModel::connectSaved);
    m_disconnect = new QPushButton;
    connect(m_disconnect, &QPushButton::clicked, &m_model, &AppModel::requestDisconnect);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->addWidget(m_dot);
    layout->addWidget(m_state);
    layout->addWidget(m_preparing);
    layout->addWidget(m_comparing);
    layout->addWidget(m_working);
    layout->addStretch();
    layout->addWidget(m_compare);
    layout->addWidget(m_edits);
    layout->addWidget(m_editConnection);
    layout->addWidget(m_connect);
    layout->addWidget(m_disconnect);

    for (auto change : {&AppModel::connectedProfileChanged, &AppModel::selectedProfileChanged,
                        &AppModel::profilesChanged, &AppModel::planningChanged, &AppModel::isWorkingChanged,
                        &AppModel::comparingChanged, &AppModel::commandsChanged})
        connect(&m_model, change, this, &ConnectionBar::showState);
    retranslate();
}

void ConnectionBar::showState()
{
    const std::optional<ServerProfile> connected = m_model.connectedProfile();
    const std::optional<ServerProfile> selected = m_model.selectedProfile();
    const bool working = m_model.isWorking();
    m_dot->setPixmap(connected ? dot(QColor(0x2e, 0xa0, 0x43), 1) : dot(palette().color(QPalette::WindowText), 0.35));
    if (connected)
        m_state->setText(connected->name + u" · "_s + FTPProtocols::label(connected->protocolType));
    else if (selected)
        m_state->setText(L("ready_connect", FTPProtocols::label(selected->protocolType)));
    else
        m_state->setText(L("select_server"));
    m_preparing->setVisible(m_model.planning());
    m_comparing->setVisible(m_model.comparing());
    m_working->setVisible(working);
    m_compare->setEnabled(m_model.can(Command::compare));
    m_editConnection->setEnabled(selected.has_value());
    m_connect->setVisible(!connected);
    m_connect->setEnabled(m_model.can(Command::connect));
    m_disconnect->setVisible(connected.has_value());
}

void ConnectionBar::retranslate()
{
    m_preparing->setText(L("preparing"));
    m_working->setAccessibleName(L("preparing"));
    m_comparing->setAccessibleName(L("compare_folders"));
    DisplayText::setIconButtonText(m_compare, L("compare_folders"));
    DisplayText::setIconButtonText(m_edits, L("remote_edits"));
    DisplayText::setIconButtonText(m_editConnection, L("edit_connection"));
    m_connect->setText(L("connect"));
    m_disconnect->setText(L("disconnect"));
    showState();
}
