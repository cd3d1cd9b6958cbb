#pragma once

#include "CommandRules.h"
#include "Retranslating.h"

#include <QList>
#include <QMainWindow>

class AppModel;
class Prompter;
class ContentView;
class QAction;
class QMenu;

// The program's one window: the workspace with its menus and status bar. Closing it is a request
// to quit, which the program may refuse while transfers are pending.
class MainWindow : public Retranslating<QMainWindow> {
    Q_OBJECT

public:
    MainWindow(AppModel& model, Prompter& prompter, QWidget* parent = nullptr);
    // Stores where the window was, for the next start.
    ~MainWindow() override;

    ContentView* content() const { return m_content; }
    // Lets the next close through: the program is quitting.
    void allowClose() { m_closing = true; }

Q_SIGNALS:
    void quitRequested();
    void settingsRequested();
    void aboutRequested();
    // The window was shown for the first time.
    void firstShown();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct LabelledAction {
        QAction* action;
        const char* key;
    };

    QAction* addCommand(QMenu* menu, const char* key, const QList<QKeySequence>& shortcuts = {});
    // An item that calls the model's operation and is enabled while the model allows the command.
    void addModelCommand(QMenu* menu, const char* key, Command command, const QKeySequence& shortcut,
                         void (AppModel::*operation)());
    void makeMenus();
    void retranslate() override;

    AppModel& m_model;
    ContentView* m_content = nullptr;
    QList<std::pair<QMenu*, const char*>> m_menus;
    QList<LabelledAction> m_commands;
    bool m_closing = false;
    bool m_shown = false;
};
