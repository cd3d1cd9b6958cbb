#include "CliCommand.h"
#include "CliOutput.h"
#include "CliSession.h"
#include "FolderComparison.h"

#include <cstdio>

using namespace Qt::StringLiterals;

// One JSON line per path, so that a script can check a mirror: the status as its catalogue key,
// which stays the same whatever the interface language.
static int compare(CliContext& context)
{
    const CliArguments arguments = CliArguments::read(context.arguments, 2);
    const CliSession session(context);
    session.run([&](const FTPClient& client, std::stop_token token) {
        const auto rows = FolderComparison::compare(arguments.positional[0], arguments.positional[1], client, token);
        for (const ComparisonRow& row : rows) {
            QJsonObject line{{u"path"_s, row.path}, {u"status"_s, row.statusKey()}};
            if (row.local)
                line.insert(u"local"_s, CliOutput::entryJson(*row.local));
            if (row.remote)
                line.insert(u"remote"_s, CliOutput::entryJson(*row.remote));
            CliOutput::printJson(line);
        }
        std::fflush(stdout);
    });
    return 0;
}

static const CliCommand command(u"compare"_s, u"compare LOCAL REMOTE"_s,
                                u"compare a local folder with a remote one, recursively: one JSON line per path, "
                                "with its status"_s,
                                compare);
