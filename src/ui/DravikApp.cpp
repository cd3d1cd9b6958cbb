#include "DravikApp.h"

#include "AboutBox.h"
#include "AppModel.h"
#include "DialogPlacement.h"
#include "MainWindow.h"
#include "SettingsWindow.h"

namespace {

void bringToFront(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

DravikApp::DravikApp(const QDBusConnection& bus) : m_appearance(bus)
{
    m_model = std::make_unique<AppModel>(m_prompter);
    m_window = std::make_unique<MainWindow>(*m_model, m_prompter);
    m_prompter.setWindow(m_window.get());
    m_desktopProgress = std::make_unique<DesktopProgress>(*m_model, *m_window, bus);
    DialogPlacement::shared().setWorkspace(m_window.get());
    connect(m_window.get(), &MainWindow::firstShown, this, [this] { m_delegate.setModel(m_model.get()); });
    connect(m_window.get(), &MainWindow::quitRequested, &m_delegate, &AppDelegate::requestQuit);
    connect(m_window.get(), &MainWindow::settingsRequested, this, &DravikApp::showSettings);
    connect(m_window.get(), &MainWindow::aboutRequested, this, &DravikApp::showAbout);
    connect(&m_delegate, &AppDelegate::quitting, m_window.get(), &MainWindow::allowClose);
    connect(&m_quitSignals, &QuitSignals::quitRequested, &m_delegate, &AppDelegate::quitNow);
    // An update handed to the installer, with nothing pending.
    connect(m_model.get(), &AppModel::quitRequested, &m_delegate, &AppDelegate::quitNow);
}

// The windows go before the model they show.
DravikApp::~DravikApp()
{
    delete m_settings;
    m_desktopProgress.reset();
    m_window.reset();
}

void DravikApp::showSettings()
{
    if (!m_settings) {
        m_settings = new SettingsWindow(m_language, m_appearance, *m_model, m_window.get());
        m_settings->setAttribute(Qt::WA_DeleteOnClose);
    }
    bringToFront(m_settings);
}

void DravikApp::activate(const QStringList& arguments)
{
    m_window->setWindowState((m_window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    bringToFront(m_window.get());
    for (const QString& argument : arguments)
        if (!argument.startsWith(u'-'))
            return m_model->openLink(argument);
}

void DravikApp::showAbout()
{
    AboutBox::present(m_window.get());
}
