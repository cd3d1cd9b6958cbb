// dravik: the desktop program. With the demo session (`make run`) it starts against a throwaway
// server; started directly it works on the person's own profiles and queue.

#include "ApplicationService.h"
#include "DravikApp.h"
#include "Icons.h"
#include "MainWindow.h"
#include "ProductInfo.h"
#include "SecretMemory.h"

#include <QApplication>
#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    // Before Qt looks for a display, so that a text console (and help2man) can ask.
    if (const std::optional<QString> answer = ProductInfo::commandLineAnswer(argc, argv)) {
        std::fputs(answer->toUtf8().constData(), stdout);
        return 0;
    }
    // Passwords pass through this process: no other process of the user may read its memory.
    SecretMemory::protectProcess();
    QApplication application(argc, argv);
    // The window class the desktop entry's StartupWMClass names.
    QApplication::setApplicationName(u"dravik"_s);
    QApplication::setApplicationDisplayName(ProductInfo::name());
    QApplication::setDesktopFileName(ProductInfo::applicationID());
    // Closing the window asks first; only the quit sequence ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    Icons::useFallbackTheme();

    const QStringList arguments = QApplication::arguments().mid(1);
    // The name also tells the icon companion, by going away, that the program has ended.
    ApplicationService service;
    switch (service.claim(arguments)) {
    case ApplicationService::Claim::handedOver: return 0;
    case ApplicationService::Claim::unanswered: return 1;
    case ApplicationService::Claim::first: break;
    }
    DravikApp program;
    QObject::connect(&service, &ApplicationService::activated, &program, &DravikApp::activate);
    program.activate(arguments);
    return QApplication::exec();
}
