// dravik-screenshots FOLDER
//
// Runs the program's windows on the display it is given (Xvfb, by scripts/take-screenshots)
// against a throwaway FTPS server and writes what a person sees, in English, German, Arabic and
// Japanese, light and dark: the connected main window with a transfer running and more waiting,
// the connection editor (also for a new SFTP profile saved with its fields at fault), the conflict
// dialog and the settings window; before the transfers start, the folder comparison, the list of
// remote edits and the About box. Language and appearance are switched live between the sets, as a
// person would.

#include "AboutBox.h"
#include "AppModel.h"
#include "AppearanceSettings.h"
#include "ComparisonView.h"
#include "ConflictDialog.h"
#include "ConnectionEditor.h"
#include "DemoContent.h"
#include "DravikApp.h"
#include "Icons.h"
#include "L10n.h"
#include "MainWindow.h"
#include "PrivateHome.h"
#include "PrivateKeyring.h"
#include "ProFTPDServer.h"
#include "RemoteEditsView.h"
#include "SettingsWindow.h"
#include "TemporaryFolder.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <cstdio>
#include <functional>
#include <stdexcept>

namespace {

void waitFor(const std::function<bool()>& done, const char* what)
{
    if (!QTest::qWaitFor(done, 60000))
        throw std::runtime_error(std::string("timed out waiting for ") + what);
}

template <typename Window> Window* shown()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<Window*>(window); found && found->isVisible())
            return found;
    return nullptr;
}

void save(QWidget* window, const QString& file)
{
    // Two rounds of events: the layout of a language switch settles in the second.
    QTest::qWait(300);
    if (!window->grab().save(file))
        throw std::runtime_error("cannot write " + file.toStdString());
    std::printf("%s\n", qPrintable(file));
}

// A folder of this computer that looks lived in.
void putLocalFiles(const TemporaryFolder& local)
{
    for (const char* name : {"Welcome.txt", "Holiday photo.jpg", "Report 2.pdf", "Report 10.pdf", "Website backup.zip",
                             "sync.py", "Music/.keep", "Photos/.keep"})
        local.write(QStringLiteral("Documents/") + QString::fromUtf8(name),
                    QByteArray(2048 * (1 + qstrlen(name)), 'd'));
}

} // namespace

int main(int argc, char** argv)
{
    const PrivateHome home;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dravik"));
    QApplication::setQuitOnLastWindowClosed(false);
    Icons::useFallbackTheme();
    const QString output =
        QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots")).absolutePath();
    QDir().mkpath(output);
    try {
        const PrivateKeyring keyring;
        const ProFTPDServer server;
        DemoContent::putSamples(server);
        DemoContent::saveProfile(server);
        const TemporaryFolder local;
        putLocalFiles(local);

        DravikApp program;
        MainWindow& window = program.window();
        AppModel& model = program.model();
        window.resize(1180, 760);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            throw std::runtime_error("the window was never shown");
        model.openLocal(local.file(QStringLiteral("Documents")));
        // The server's pane before a connection, offering the saved profile.
        for (const char* language : {"en", "de", "ar", "ja"}) {
            program.language().setSelection(QString::fromLatin1(language));
            save(&window, output + QStringLiteral("/disconnected-%1.png").arg(QString::fromLatin1(language)));
        }
        program.language().setSelection(QStringLiteral("en"));
        program.appearance().setSelection(AppearanceSettings::Mode::dark);
        save(&window, output + QStringLiteral("/disconnected-dark.png"));
        program.appearance().setSelection(AppearanceSettings::Mode::system);
        model.connectSaved();
        waitFor([&] { return model.isConnected() && !model.busy(); }, "the connection");
        // The windows around the panes, which a comparison needs idle.
        const auto saveFeatureWindows = [&](const QString& set) {
            model.compareFolders();
            waitFor([&] { return model.showComparison() && !model.comparing() && shown<ComparisonView>(); },
                    "the comparison");
            save(shown<ComparisonView>(), output + QStringLiteral("/comparison-%1.png").arg(set));
            model.setShowComparison(false);
            model.setShowEdits(true);
            waitFor([] { return shown<RemoteEditsView>() != nullptr; }, "the remote edits");
            save(shown<RemoteEditsView>(), output + QStringLiteral("/edits-%1.png").arg(set));
            model.setShowEdits(false);
            program.showAbout();
            waitFor([] { return shown<AboutBox>() != nullptr; }, "the About box");
            save(shown<AboutBox>(), output + QStringLiteral("/about-%1.png").arg(set));
            shown<AboutBox>()->close();
            waitFor([] { return shown<ComparisonView>() == nullptr && shown<AboutBox>() == nullptr; }, "closing");
        };
        for (const char* language : {"en", "de", "ar", "ja"}) {
            program.language().setSelection(QString::fromLatin1(language));
            saveFeatureWindows(QString::fromLatin1(language));
            program.appearance().setSelection(AppearanceSettings::Mode::dark);
            saveFeatureWindows(QStringLiteral("dark-%1").arg(QString::fromLatin1(language)));
            program.appearance().setSelection(AppearanceSettings::Mode::system);
        }
        program.language().setSelection(QStringLiteral("en"));
        model.browse(QStringLiteral("/slow"));
        waitFor([&] { return model.remotePath() == QStringLiteral("/slow") && !model.busy(); }, "the slow folder");
        model.setRemoteSelection({QStringLiteral("Large file.bin")});
        model.enqueue(false);
        waitFor([&] { return !model.transfers().isEmpty() && model.transfers().first().progress > 0.05; },
                "the download's progress");
        model.browse(QStringLiteral("/"));
        waitFor([&] { return model.remotePath() == QStringLiteral("/") && !model.busy(); }, "the root folder");
        // More rows behind it, so that the panel shows how many fit.
        model.setRemoteSelection({QStringLiteral("Documents"), QStringLiteral("Projects"), QStringLiteral("Uploads")});
        model.enqueue(false);
        waitFor([&] { return !model.planning() && model.transfers().size() > 5; }, "the waiting downloads");
        model.setRemoteSelection({QStringLiteral("Documents")});
        model.setLocalSelection({QStringLiteral("Report 10.pdf")});

        // The conflict dialog and the settings window, which every language lays out anew.
        const auto saveDialogs = [&](const QString& set) {
            model.setRemoteSelection({QStringLiteral("Welcome.txt")});
            model.enqueue(false);
            waitFor([] { return shown<ConflictDialog>() != nullptr; }, "the conflict dialog");
            save(shown<ConflictDialog>(), output + QStringLiteral("/conflict-%1.png").arg(set));
            shown<ConflictDialog>()->reject();
            waitFor([&] { return !model.planning(); }, "the cancelled request");
            model.setRemoteSelection({QStringLiteral("Documents")});
            program.showSettings();
            save(shown<SettingsWindow>(), output + QStringLiteral("/settings-%1.png").arg(set));
            shown<SettingsWindow>()->close();
        };
        // The windows of one set, each as it opens over the main window.
        const auto saveSet = [&](const QString& set) {
            save(&window, output + QStringLiteral("/main-%1.png").arg(set));

            model.setEditingProfile(model.selectedProfile());
            model.setShowConnectionEditor(true);
            waitFor([] { return shown<ConnectionEditor>() != nullptr; }, "the connection editor");
            save(shown<ConnectionEditor>(), output + QStringLiteral("/editor-%1.png").arg(set));
            shown<ConnectionEditor>()->reject();

            // A new SFTP profile saved too early: every field at fault says so, nothing is cut.
            waitFor([&] { return !model.showConnectionEditor() && shown<ConnectionEditor>() == nullptr; },
                    "the editor to close");
            QTest::qWait(100);
            model.setEditingProfile(std::nullopt);
            model.setShowConnectionEditor(true);
            waitFor([] { return shown<ConnectionEditor>() != nullptr; }, "the new connection's editor");
            ConnectionEditor* editor = shown<ConnectionEditor>();
            editor->findChild<QComboBox*>()->setCurrentIndex(int(FTPProtocols::allCases().indexOf(FTPProtocol::sftp)));
            editor->findChild<QSpinBox*>()->setValue(0);
            for (QPushButton* button : editor->findChildren<QPushButton*>())
                if (button->text() == L("save"))
                    button->click();
            save(editor, output + QStringLiteral("/editor-sftp-%1.png").arg(set));
            editor->reject();

            saveDialogs(set);
        };
        for (const char* language : {"en", "de", "ar", "ja"}) {
            const QString code = QString::fromLatin1(language);
            program.language().setSelection(code);
            saveSet(code);
        }

        program.language().setSelection(QStringLiteral("en"));
        for (const auto mode : {AppearanceSettings::Mode::light, AppearanceSettings::Mode::dark}) {
            program.appearance().setSelection(mode);
            saveSet(AppearanceSettings::rawValue(mode));
        }
        for (const char* language : {"de", "ar", "ja"}) {
            program.language().setSelection(QString::fromLatin1(language));
            saveSet(QStringLiteral("dark-%1").arg(QString::fromLatin1(language)));
        }
        program.delegate().quitNow();
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "dravik-screenshots: %s\n", error.what());
        return 1;
    }
}
