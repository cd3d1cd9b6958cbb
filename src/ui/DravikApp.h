#pragma once

#include "AppDelegate.h"
#include "AppearanceSettings.h"
#include "DesktopProgress.h"
#include "KeyboardRoutes.h"
#include "LanguageSettings.h"
#include "QuitSignals.h"
#include "WindowPrompter.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>

class AppModel;
class MainWindow;
class SettingsWindow;

// The program: the one application model and the language and appearance settings for the life of
// the process, the main window over them, the settings window, the About box, and the quit
// protection that closing the window, the quit command and the system's quit signals all go
// through.
class DravikApp : public QObject {
    Q_OBJECT

public:
    // `bus` is where the program tells of its appearance and learns the desktop's.
    explicit DravikApp(const QDBusConnection& bus = QDBusConnection::sessionBus());
    ~DravikApp() override;

    AppModel& model() { return *m_model; }
    LanguageSettings& language() { return m_language; }
    AppearanceSettings& appearance() { return m_appearance; }
    MainWindow& window() { return *m_window; }
    AppDelegate& delegate() { return m_delegate; }

    void showSettings();
    void showAbout();
    // Brings the main window to the front, shown again if it was closed while transfers went on,
    // and opens the link among the program's arguments (the first that is not an option).
    void activate(const QStringList& arguments = {});

private:
    KeyboardRoutes m_keyboard;
    LanguageSettings m_language;
    // Before the windows, which are then drawn in the chosen appearance from the start.
    AppearanceSettings m_appearance;
    WindowPrompter m_prompter;
    std::unique_ptr<AppModel> m_model;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<DesktopProgress> m_desktopProgress;
    AppDelegate m_delegate;
    QuitSignals m_quitSignals;
    QPointer<SettingsWindow> m_settings;
};
