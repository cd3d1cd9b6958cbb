#include "CliCommand.h"
#include "CliOutput.h"
#include "ErrorText.h"
#include "L10n.h"
#include "SecretMemory.h"
#include "StopSignals.h"

#include <QCoreApplication>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

QString takeValue(QStringList& words, const QString& option)
{
    if (words.isEmpty())
        throw UsageError(option + QStringLiteral(" needs a value"));
    return words.takeFirst();
}

CliContext readGlobalOptions(QStringList words)
{
    CliContext context;
    while (!words.isEmpty() && words.first().startsWith(QLatin1String("--"))) {
        const QString option = words.takeFirst();
        if (option == QLatin1String("--lang"))
            context.language = takeValue(words, option);
        else if (option == QLatin1String("--profile"))
            context.profileFile = takeValue(words, option);
        else if (option == QLatin1String("--saved"))
            context.savedProfile = takeValue(words, option);
        else if (option == QLatin1String("--password-stdin"))
            context.passwordFromStandardInput = true;
        else
            throw UsageError(QStringLiteral("unknown option ") + option);
    }
    if (context.profileFile && context.savedProfile)
        throw UsageError(QStringLiteral("--profile and --saved exclude each other"));
    context.arguments = words;
    return context;
}

int run(const QStringList& words)
{
    if (words.contains(u"--help"_s)) {
        std::fputs(CliCommand::usageText().toUtf8().constData(), stdout);
        return 0;
    }
    if (words.contains(u"--version"_s)) {
        std::fputs(CliCommand::versionText().toUtf8().constData(), stdout);
        return 0;
    }
    try {
        CliContext context = readGlobalOptions(words);
        if (context.language)
            L10n::selectForThisRun(*context.language);
        if (context.arguments.isEmpty())
            throw UsageError(QStringLiteral("no command given"));
        const CliCommand* command = CliCommand::find(context.arguments.takeFirst());
        if (!command)
            throw UsageError(QStringLiteral("unknown command"));
        return command->run(context);
    } catch (const UsageError& e) {
        CliOutput::printError(QString::fromUtf8(e.what()));
        std::fputs(CliCommand::usageText().toUtf8().constData(), stderr);
        return 2;
    } catch (...) {
        const auto sentence = ErrorText::sentence(std::current_exception());
        if (!sentence)
            return 130;
        CliOutput::printError(*sentence);
        return 1;
    }
}

} // namespace

int main(int argc, char** argv)
{
    // Before anything can start a thread of its own.
    StopSignals::install();
    SecretMemory::protectProcess();
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dravik-cli"));
    QStringList words = QCoreApplication::arguments();
    words.removeFirst();
    return run(words);
}
