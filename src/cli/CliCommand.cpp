#include "CliCommand.h"

#include "BuildInfo.h"

#include <QList>
#include <algorithm>

using namespace Qt::StringLiterals;

// The summary under its command, indented as help2man wants and wrapped to a terminal's width.
static QString indentedSummary(const QString& summary)
{
    const QString indent(22, u' ');
    QString text;
    QString line;
    for (const QString& word : summary.split(u' ')) {
        if (!line.isEmpty() && indent.size() + line.size() + 1 + word.size() > 100) {
            text += indent + line + u'\n';
            line.clear();
        }
        line += (line.isEmpty() ? QString() : u" "_s) + word;
    }
    return text + indent + line + u'\n';
}

static QList<const CliCommand*>& registry()
{
    static QList<const CliCommand*> commands;
    return commands;
}

CliCommand::CliCommand(QString commandName, QString commandUsage, QString commandSummary, Run runner)
    : name(std::move(commandName)), usage(std::move(commandUsage)), summary(std::move(commandSummary)),
      run(std::move(runner))
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

// Laid out as help2man reads it: "Usage:" for the synopsis, a heading with a colon for each list,
// and every description indented by more than twenty columns.
QString CliCommand::usageText()
{
    QList<const CliCommand*> commands = registry();
    std::sort(commands.begin(), commands.end(),
              [](const CliCommand* a, const CliCommand* b) { return a->name < b->name; });
    QString text = u"Usage: dravik-cli [--lang CODE] [--profile FILE | --saved NAME] [--password-stdin] COMMAND ...\n"
                   "Works on FTP, FTPS and SFTP servers with the engine of the Dravik window, one command per run.\n"
                   "Commands that print records print one JSON object per line when they are given --json.\n"
                   "\n"
                   "Commands:\n"_s;
    for (const CliCommand* command : commands)
        text += u"  "_s + command->usage + u'\n' + indentedSummary(command->summary);
    text += u"\n"
            "Options:\n"
            "  --lang CODE         print messages in this interface language (en, de, fr, ja, ...)\n"
            "  --profile FILE      connect with the server profile in this JSON file\n"
            "  --saved NAME        connect with the saved profile of this name or UUID\n"
            "  --password-stdin    read the password from the first line of standard input\n"
            "  --help              print this help and exit\n"
            "  --version           print the version and exit\n"
            "\n"
            "Exit status: 0 on success, 1 when an operation fails, 2 for a command line that cannot be\n"
            "read, 130 when interrupted.\n"_s;
    return text;
}

QString CliCommand::versionText()
{
    return u"dravik-cli "_s + QString::fromLatin1(BuildInfo::version) + u'\n';
}
