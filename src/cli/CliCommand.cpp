#include "CliCommand.h"

#include <QList>
#include <algorithm>

static QList<const CliCommand*>& registry()
{
    static QList<const CliCommand*> commands;
    return commands;
}

CliCommand::CliCommand(QString name, QString usage, Run run)
    : name(std::move(name)), usage(std::move(usage)), run(std::move(run))
{
    registry().append(this);
}

const CliCommand* CliCommand::find(const QString& name)
{
    for (const CliCommand* command : registry())
        if (command->name == name)
            return command;
    return nullptr;
}

QString CliCommand::usageText()
{
    QList<const CliCommand*> commands = registry();
    std::sort(commands.begin(), commands.end(),
              [](const CliCommand* a, const CliCommand* b) { return a->name < b->name; });
    QString text = QStringLiteral(
        "usage: dravik-cli [--lang CODE] [--profile FILE | --saved NAME] [--password-stdin] COMMAND ...\n"
        "commands:\n");
    for (const CliCommand* command : commands)
        text += QStringLiteral("  ") + command->usage + QLatin1Char('\n');
    return text;
}
