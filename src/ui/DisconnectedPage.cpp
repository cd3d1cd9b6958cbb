#include "DisconnectedPage.h"

#include "AppModel.h"
#include "Icons.h"
#include "L10n.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

DisconnectedPage::DisconnectedPage(AppModel& model, QWidget* parent) : Retranslating(parent), m_model(model)
{
    auto* icon = new QLabel;
    icon->setPixmap(Icons::icon(u"externaldrive.connected.to.line.below"_s).pixmap(48));
    m_hint = new QLabel;
    m_hint->setWordWrap(true);
    m_hint->setAlignment(Qt::AlignCenter);
    m_hint->setTextFormat(Qt::PlainText);
    m_connect = new QPushButton;
    m_connect->setIcon(Icons::icon(u"bolt.horizontal"_s));
    connect(m_connect, &QPushButton::clicked, &m_model, &AppModel::connectSaved);
    m_add = new QPushButton;
    connect(m_add, &QPushButton::clicked, this, [this] {
        m_model.setEditingProfile(std::nullopt);
        m_model.setShowConnectionEditor(true);
    });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_connect);
    buttons->addWidget(m_add);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(icon, 0, Qt::AlignCenter);
    layout->addWidget(m_hint);
    layout->addLayout(buttons);
    layout->addStretch();
    for (const auto changed : {&AppModel::selectedProfileChanged, &AppModel::commandsChanged})
        connect(&m_model, changed, this, &DisconnectedPage::showState);
    retranslate();
}

void DisconnectedPage::showState()
{
    const std::optional<ServerProfile> selected = m_model.selectedProfile();
    m_hint->setText(selected ? L("connect_profile_hint", selected->name) : L("connect_hint"));
    m_connect->setVisible(selected.has_value());
    m_connect->setEnabled(m_model.can(Command::connect));
}

void DisconnectedPage::retranslate()
{
    m_connect->setText(L("connect"));
    m_connect->setAccessibleName(L("connect"));
    m_add->setText(L("add_connection"));
    m_add->setAccessibleName(L("add_connection"));
    showState();
}
