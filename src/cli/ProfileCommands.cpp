#include "CliCommand.h"
#include "CliOutput.h"
#include "ServerProfile.h"

#include <QFile>
#include <system_error>

static int validateProfile(CliContext& context)
{
    if (context.arguments.size() != 1)
        throw UsageError(QStringLiteral("validate-profile takes one file"));
    ServerProfile::fromJson(CliOutput::readFile(context.arguments.first())).validate();
    CliOutput::printLine(QStringLiteral("ok"));
    return 0;
}

static const CliCommand command(QStringLiteral("validate-profile"), QStringLiteral("validate-profile FILE"),
                                QStringLiteral("check a server profile file and print ok"), validateProfile);
