#include "CliCommand.h"
#include "CliOutput.h"
#include "CliSession.h"

#include <functional>

using namespace Qt::StringLiterals;

namespace {

using Operation = std::function<void(const FTPClient&, const QStringList&, std::stop_token)>;

// A command of `count` remote paths that prints nothing on success.
CliCommand::Run remote(qsizetype count, Operation operation)
{
    return [count, operation](CliContext& context) {
        const CliArguments arguments = CliArguments::read(context.arguments, count);
        const CliSession session(context);
        session.run(
            [&](const FTPClient& client, std::stop_token token) { operation(client, arguments.positional, token); });
        return 0;
    };
}

int list(CliContext& context)
{
    QStringList words = context.arguments;
    const CliOutput::Format format = CliOutput::takeFormatOption(words);
    const CliArguments arguments = CliArguments::read(words, 1);
    const CliSession session(context);
    session.run([&](const FTPClient& client, std::stop_token token) {
        CliOutput::printEntries(client.list(arguments.positional.first(), token), format);
    });
    return 0;
}

const CliCommand listCommand(u"list"_s, u"list PATH [--json]"_s,
                             u"list a remote folder: date, size and name of each entry"_s, list);
const CliCommand mkdirCommand(u"mkdir"_s, u"mkdir PATH"_s, u"create a remote folder"_s,
                              remote(1, [](const FTPClient& c, const QStringList& p, std::stop_token t) {
                                  c.createDirectory(p[0], t);
                              }));
const CliCommand ensureCommand(u"ensure-dir"_s, u"ensure-dir PATH"_s,
                               u"create a remote folder and its missing parents; one that exists is no error"_s,
                               remote(1, [](const FTPClient& c, const QStringList& p, std::stop_token t) {
                                   c.ensureDirectory(p[0], t);
                               }));
const CliCommand
    mvCommand(u"mv"_s, u"mv FROM TO"_s, u"rename or move a remote file or folder"_s,
              remote(2, [](const FTPClient& c, const QStringList& p, std::stop_token t) { c.rename(p[0], p[1], t); }));
const CliCommand rmCommand(u"rm"_s, u"rm PATH"_s, u"delete a remote file"_s,
                           remote(1, [](const FTPClient& c, const QStringList& p, std::stop_token t) {
                               c.deleteItem(p[0], false, t);
                           }));
const CliCommand rmdirCommand(u"rmdir"_s, u"rmdir PATH"_s, u"delete an empty remote folder"_s,
                              remote(1, [](const FTPClient& c, const QStringList& p, std::stop_token t) {
                                  c.deleteItem(p[0], true, t);
                              }));
const CliCommand rmTreeCommand(u"rm-tree"_s, u"rm-tree PATH"_s, u"delete a remote folder with everything in it"_s,
                               remote(1, [](const FTPClient& c, const QStringList& p, std::stop_token t) {
                                   c.deleteTree(p[0], true, 0, t);
                               }));
const CliCommand chmodCommand(u"chmod"_s, u"chmod MODE PATH"_s,
                              u"set the permissions of a remote file or folder (MODE in octal, such as 644)"_s,
                              remote(2, [](const FTPClient& c, const QStringList& p, std::stop_token t) {
                                  c.permissions(p[1], p[0], t);
                              }));

} // namespace
