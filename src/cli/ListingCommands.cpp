#include "CliCommand.h"
#include "CliOutput.h"
#include "ListingParser.h"

#include <QFile>

static int parseListing(CliContext& context)
{
    if (!context.arguments.isEmpty())
        throw UsageError(QStringLiteral("parse-listing takes no arguments"));
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        throw UsageError(QStringLiteral("standard input cannot be read"));
    CliOutput::printEntries(ListingParser::parse(QString::fromUtf8(input.readAll())), CliOutput::Format::json);
    return 0;
}

static const CliCommand command(QStringLiteral("parse-listing"), QStringLiteral("parse-listing < LISTING"),
                                QStringLiteral("read a server's folder listing from standard input and print its "
                                               "entries as JSON lines"),
                                parseListing);
