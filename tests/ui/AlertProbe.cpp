// Opens the quit alert over a window and prints the answer it receives, for the test that presses
// the alert's button through the accessibility bus.

#include "DialogPlacement.h"
#include "Icons.h"
#include "L10n.h"
#include "WindowPrompter.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("alert-probe");
    Icons::useFallbackTheme();
    L10n::selectForThisRun("en");
    QWidget window;
    window.resize(800, 500);
    window.show();
    DialogPlacement::shared().setWorkspace(&window);
    WindowPrompter prompter(&window);
    prompter
        .alert({PromptAlert::Style::warning,
                L("transfers_active"),
                L("quit_warning"),
                {L("continue_transfers"), L("quit")}})
        .then(&window, [](int answer) {
            std::printf("answer %d\n", answer);
            QApplication::quit();
        });
    QTimer::singleShot(60000, [] { QApplication::exit(2); });
    return application.exec();
}
