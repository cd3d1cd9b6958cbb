#include "Sidebar.h"

#include "AppModel.h"
#include "DisplayText.h"
#include "Icons.h"
#include "L10n.h"
#include "LocalPane.h"
#include "ProductInfo.h"
#include "ProfileListModel.h"
#include "ProfileRowDelegate.h"
#include "Prompter.h"

#include <QCheckBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QLabel* sectionTitle()
{
    auto* title = DisplayText::emphasised(new QLabel, 0.9);
    title->setForegroundRole(QPalette::PlaceholderText);
    return title;
}

QLabel* smallText()
{
    auto* label = new QLabel;
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    label->setWordWrap(true);
    return label;
}

} // namespace

Sidebar::Sidebar(AppModel& model, Prompter& prompter, QWidget* parent)
    : Retranslating(parent), m_model(model), m_prompter(prompter)
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeHeader());
    layout->addSpacing(8);
    layout->addWidget(makeConnections(), 1);
    layout->addWidget(makeShortcuts());
    layout->addWidget(makeFooter());

    connect(&m_model, &AppModel::profilesChanged, this, &Sidebar::showProfiles);
    connect(&m_model, &AppModel::selectedProfileChanged, this, &Sidebar::showSelectedProfile);
    connect(&m_model, &AppModel::connectedProfileChanged, m_profiles->viewport(), qOverload<>(&QWidget::update));
    connect(&m_model, &AppModel::showHiddenChanged, this, [this] { m_hiddenFiles->setChecked(m_model.showHidden()); });
    retranslate();
    showProfiles();
}

QWidget* Sidebar::makeHeader()
{
    auto* header = new QWidget;
    auto* icon = new QLabel;
    icon->setPixmap(Icons::application().pixmap(40));
    auto* name = DisplayText::emphasised(new QLabel(ProductInfo::name()), 1.2);
    m_tagline = smallText();
    auto* version = smallText();
    version->setText(ProductInfo::version());
    version->setForegroundRole(QPalette::PlaceholderText);
    m_credit = smallText();
    m_credit->setForegroundRole(QPalette::PlaceholderText);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(0);
    titles->addWidget(name);
    titles->addWidget(version);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(titles, 1);
    auto* layout = new QVBoxLayout(header);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(m_tagline);
    layout->addWidget(m_credit);
    return header;
}

QWidget* Sidebar::makeConnections()
{
    auto* section = new QWidget;
    m_connectionsTitle = sectionTitle();
    m_add = new QToolButton;
    m_add->setIcon(Icons::icon(u"plus"_s));
    m_add->setAutoRaise(true);
    connect(m_add, &QToolButton::clicked, this, [this] { editProfile(std::nullopt); });
    auto* title = new QHBoxLayout;
    title->addWidget(m_connectionsTitle, 1);
    title->addWidget(m_add);

    m_profiles = new QListView;
    m_profiles->setModel(m_model.profileList());
    m_profiles->setItemDelegate(new ProfileRowDelegate(
        [this] { return m_model.isConnected() ? m_model.connectedProfile()->id : QUuid(); }, m_profiles));
    m_profiles->setUniformItemSizes(true);
    m_profiles->setContextMenuPolicy(Qt::CustomContextMenu);
    m_profiles->setFrameShape(QFrame::NoFrame);
    connect(m_profiles, &QWidget::customContextMenuRequested, this, &Sidebar::showProfileMenu);
    connect(m_profiles->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    m_model.setSelectedProfileID(current.data(ProfileListModel::IdRole).toUuid());
            });
    // Double-click or Return connects the row's profile.
    connect(m_profiles, &QAbstractItemView::activated, &m_model, &AppModel::connectSaved);

    auto* empty = new QWidget;
    m_serversHere = DisplayText::emphasised(new QLabel);
    m_serversHere->setWordWrap(true);
    m_firstConnection = smallText();
    m_addServer = new QPushButton;
    m_addServer->setIcon(Icons::icon(u"plus"_s));
    connect(m_addServer, &QPushButton::clicked, this, [this] { editProfile(std::nullopt); });
    auto* emptyLayout = new QVBoxLayout(empty);
    emptyLayout->addWidget(m_serversHere);
    emptyLayout->addWidget(m_firstConnection);
    emptyLayout->addWidget(m_addServer, 0, Qt::AlignLeading);
    emptyLayout->addStretch();

    m_profilePages = new QStackedWidget;
    m_profilePages->addWidget(m_profiles);
    m_profilePages->addWidget(empty);
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(title);
    layout->addWidget(m_profilePages, 1);
    return section;
}

QToolButton* Sidebar::shortcut(const char* symbol)
{
    auto* button = new QToolButton;
    button->setIcon(Icons::icon(QString::fromLatin1(symbol)));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return button;
}

QWidget* Sidebar::makeShortcuts()
{
    auto* section = new QWidget;
    m_shortcutsTitle = sectionTitle();
    m_home = shortcut("house");
    connect(m_home, &QToolButton::clicked, this, [this] { m_model.openLocal(QDir::homePath()); });
    m_downloads = shortcut("arrow.down.circle.fill");
    connect(m_downloads, &QToolButton::clicked, this, [this] { m_model.openLocal(LocalPane::downloadsFolder()); });
    m_chooseFolder = shortcut("folder");
    connect(m_chooseFolder, &QToolButton::clicked, &m_model, &AppModel::chooseLocalFolder);
    m_hiddenFiles = new QCheckBox;
    m_hiddenFiles->setChecked(m_model.showHidden());
    connect(m_hiddenFiles, &QCheckBox::toggled, &m_model, &AppModel::setShowHidden);
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_shortcutsTitle);
    for (QWidget* button : {m_home, m_downloads, m_chooseFolder})
        layout->addWidget(button);
    layout->addSpacing(6);
    layout->addWidget(m_hiddenFiles);
    return section;
}

QWidget* Sidebar::makeFooter()
{
    auto* footer = new QWidget;
    m_language = shortcut("globe");
    connect(m_language, &QToolButton::clicked, this, &Sidebar::settingsRequested);
    m_appearance = shortcut("circle.lefthalf.filled");
    connect(m_appearance, &QToolButton::clicked, this, &Sidebar::settingsRequested);
    m_checkUpdates = shortcut("arrow.triangle.2.circlepath");
    connect(m_checkUpdates, &QToolButton::clicked, &m_model, &AppModel::checkForUpdates);
    connect(&m_model, &AppModel::checkingUpdatesChanged, this, &Sidebar::showUpdateCheck);
    auto* layout = new QVBoxLayout(footer);
    layout->setContentsMargins(0, 6, 0, 0);
    layout->setSpacing(2);
    for (QWidget* button : {m_language, m_appearance, m_checkUpdates})
        layout->addWidget(button);
    return footer;
}

void Sidebar::showProfiles()
{
    m_profilePages->setCurrentIndex(m_model.profiles().isEmpty() ? 1 : 0);
    showSelectedProfile();
}

void Sidebar::showSelectedProfile()
{
    const QList<ServerProfile>& profiles = m_model.profiles();
    for (int row = 0; row < int(profiles.size()); ++row)
        if (profiles.at(row).id == m_model.selectedProfileID())
            return m_profiles->setCurrentIndex(m_model.profileList()->index(row));
    m_profiles->clearSelection();
}

void Sidebar::showProfileMenu(const QPoint& position)
{
    const QModelIndex row = m_profiles->indexAt(position);
    if (!row.isValid())
        return;
    const ServerProfile profile = m_model.profiles().at(row.row());
    QMenu menu;
    connect(menu.addAction(L("edit")), &QAction::triggered, this, [this, profile] { editProfile(profile); });
    connect(menu.addAction(L("delete")), &QAction::triggered, this, [this, profile] { confirmRemoval(profile); });
    menu.exec(m_profiles->viewport()->mapToGlobal(position));
}

void Sidebar::editProfile(const std::optional<ServerProfile>& profile)
{
    m_model.setEditingProfile(profile);
    m_model.setShowConnectionEditor(true);
}

void Sidebar::confirmRemoval(const ServerProfile& profile)
{
    m_prompter
        .alert({PromptAlert::Style::warning,
                L("delete_connection_question"),
                profile.name,
                {L("cancel"), L("delete_connection")}})
        .then(this, [this, profile](int answer) {
            if (answer == 1)
                m_model.removeProfile(profile);
        });
}

void Sidebar::retranslate()
{
    m_tagline->setText(L("tagline"));
    m_credit->setText(L("app_author"));
    m_connectionsTitle->setText(L("connections"));
    DisplayText::setIconButtonText(m_add, L("add_connection"));
    m_profiles->setAccessibleName(L("connections"));
    m_serversHere->setText(L("servers_here"));
    m_firstConnection->setText(L("first_connection"));
    m_addServer->setText(L("add_server"));
    m_shortcutsTitle->setText(L("on_mac"));
    m_home->setText(L("home"));
    m_downloads->setText(L("downloads"));
    m_chooseFolder->setText(L("choose_folder"));
    m_hiddenFiles->setText(L("hidden_files"));
    m_language->setText(L("language_button"));
    m_appearance->setText(L("appearance"));
    showUpdateCheck();
}

void Sidebar::showUpdateCheck()
{
    const bool checking = m_model.checkingUpdates();
    m_checkUpdates->setText(checking ? L("checking_updates") : L("check_updates"));
    m_checkUpdates->setEnabled(m_model.can(Command::checkUpdates));
}
