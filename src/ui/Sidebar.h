#pragma once

#include "Retranslating.h"
#include "ServerProfile.h"

#include <QWidget>
#include <optional>

class AppModel;
class Prompter;
class QCheckBox;
class QLabel;
class QListView;
class QPushButton;
class QStackedWidget;
class QToolButton;

// The sidebar: the product, the saved connections, shortcuts to folders of this computer, the
// hidden-files switch and the way to the settings.
class Sidebar : public Retranslating<QWidget> {
    Q_OBJECT

public:
    Sidebar(AppModel& model, Prompter& prompter, QWidget* parent = nullptr);

    QListView* profiles() const { return m_profiles; }

Q_SIGNALS:
    void settingsRequested();

private:
    QWidget* makeHeader();
    QWidget* makeConnections();
    QWidget* makeShortcuts();
    QWidget* makeFooter();
    QToolButton* shortcut(const char* symbol);
    void showProfiles();
    void showSelectedProfile();
    void showProfileMenu(const QPoint& position);
    void editProfile(const std::optional<ServerProfile>& profile);
    void confirmRemoval(const ServerProfile& profile);
    void showUpdateCheck();
    void retranslate() override;

    AppModel& m_model;
    Prompter& m_prompter;
    QLabel* m_tagline = nullptr;
    QLabel* m_credit = nullptr;
    QLabel* m_connectionsTitle = nullptr;
    QToolButton* m_add = nullptr;
    QStackedWidget* m_profilePages = nullptr;
    QListView* m_profiles = nullptr;
    QLabel* m_serversHere = nullptr;
    QLabel* m_firstConnection = nullptr;
    QPushButton* m_addServer = nullptr;
    QLabel* m_shortcutsTitle = nullptr;
    QToolButton* m_home = nullptr;
    QToolButton* m_downloads = nullptr;
    QToolButton* m_chooseFolder = nullptr;
    QCheckBox* m_hiddenFiles = nullptr;
    QToolButton* m_language = nullptr;
    QToolButton* m_appearance = nullptr;
    QToolButton* m_checkUpdates = nullptr;
};
