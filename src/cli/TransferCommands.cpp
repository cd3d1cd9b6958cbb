#include "CliCommand.h"
#include "CliProgressBar.h"
#include "CliSession.h"

#include <QUuid>

namespace {

const QString overwrite = QStringLiteral("--overwrite");
const QString resumeOffset = QStringLiteral("--resume-offset");
const QString checkpoint = QStringLiteral("--checkpoint");
const QString resume = QStringLiteral("--resume");

std::optional<qint64> offsetOf(const CliArguments& arguments)
{
    const auto value = arguments.values.constFind(resumeOffset);
    if (value == arguments.values.cend())
        return std::nullopt;
    bool ok = false;
    const qint64 offset = value->toLongLong(&ok);
    if (!ok)
        throw UsageError(QStringLiteral("--resume-offset needs a number of bytes"));
    return offset;
}

std::optional<QUuid> checkpointOf(const CliArguments& arguments)
{
    const auto value = arguments.values.constFind(checkpoint);
    if (value == arguments.values.cend()) {
        if (arguments.flags.contains(resume))
            throw UsageError(QStringLiteral("--resume needs --checkpoint UUID"));
        return std::nullopt;
    }
    const QUuid id(*value);
    if (id.isNull())
        throw UsageError(QStringLiteral("--checkpoint needs a UUID"));
    return id;
}

int get(CliContext& context)
{
    const CliArguments arguments =
        CliArguments::read(context.arguments, 2, {overwrite, resume}, {resumeOffset, checkpoint});
    const std::optional<qint64> offset = offsetOf(arguments);
    const std::optional<QUuid> id = checkpointOf(arguments);
    const CliSession session(context);
    CliProgressBar bar;
    session.run([&](const FTPClient& client, std::stop_token token) {
        client.download(arguments.positional[0], arguments.positional[1], arguments.flags.contains(overwrite), offset,
                        id, arguments.flags.contains(resume), [&bar](double fraction) { bar.show(fraction); },
                        token);
    });
    return 0;
}

int put(CliContext& context)
{
    const CliArguments arguments = CliArguments::read(context.arguments, 2, {overwrite}, {resumeOffset});
    const std::optional<qint64> offset = offsetOf(arguments);
    const CliSession session(context);
    CliProgressBar bar;
    session.run([&](const FTPClient& client, std::stop_token token) {
        client.upload(arguments.positional[0], arguments.positional[1], arguments.flags.contains(overwrite), offset,
                      [&bar](double fraction) { bar.show(fraction); }, token);
    });
    return 0;
}

const CliCommand getCommand(QStringLiteral("get"),
                            QStringLiteral("get REMOTE LOCAL [--overwrite] [--resume-offset N] "
                                           "[--checkpoint UUID [--resume]]"),
                            get);
const CliCommand putCommand(QStringLiteral("put"), QStringLiteral("put LOCAL REMOTE [--overwrite] [--resume-offset N]"),
                            put);

}
