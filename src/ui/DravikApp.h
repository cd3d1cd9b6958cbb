#pragma once

#include "AppDelegate.h"
#include "LanguageSettings.h"
#include "QuitSignals.h"
#include "WindowPrompter.h"

#include <QObject>
#include <QPointer>
#include <memory>

class AppModel;
class MainWindow;
class SettingsWindow;

// The program: the one application model and the language settings for the life of the process,
// the main window over them, the settings window, the About box, and the quit protection that
// closing the window, the quit command and the system's quit signals all go through.
class DravikApp : public QObject {
    Q_OBJECT

public:
    DravikApp();
    ~DravikApp() override;

    AppModel& model() { return *m_model; }
    LanguageSettings& language() { return m_language; }
    MainWindow& window() { return *m_window; }
    AppDelegate& delegate() { return m_delegate; }

    void showSettings();
    void showAbout();

private:
    LanguageSettings m_language;
    WindowPrompter m_prompter;
    std::unique_ptr<AppModel> m_model;
    std::unique_ptr<MainWindow> m_window;
    AppDelegate m_delegate;
    QuitSignals m_quitSignals;
    QPointer<SettingsWindow> m_settings;
};
