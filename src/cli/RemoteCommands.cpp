#include "CliCommand.h"
#include "CliOutput.h"
#include "CliSession.h"

#include <functional>

namespace {

using Operation = std::function<void(const FTPClient&, const QStringList&, std::stop_token)>;

// A command of `count` remote paths that prints nothing on success.
CliCommand::Run remote(qsizetype count, Operation operation)
{
    return [count, operation](CliContext& context) {
        const CliArguments arguments = CliArguments::read(context.arguments, count);
        const CliSession session(context);
        session.run([&](const FTPClient& client, std::stop_token token) {
            operation(client, arguments.positional, token);
        });
        return 0;
    };
}

int list(CliContext& context)
{
    const CliArguments arguments = CliArguments::read(context.arguments, 1);
    const CliSession session(context);
    session.run([&](const FTPClient& client, std::stop_token token) {
        CliOutput::printEntries(client.list(arguments.positional.first(), token));
    });
    return 0;
}

const CliCommand listCommand(QStringLiteral("list"), QStringLiteral("list PATH"), list);
const CliCommand mkdirCommand(QStringLiteral("mkdir"), QStringLiteral("mkdir PATH"),
                              remote(1, [](const FTPClient& c, const QStringList& p, std::stop_token t) {
                                  c.createDirectory(p[0], t);
                              }));
const CliCommand ensureCommand(QStringLiteral("ensure-dir"), QStringLiteral("ensure-dir PATH"),
                               remote(1, [](const FTPClient& c, const QStringList& p, std::stop_token t) {
                                   c.ensureDirectory(p[0], t);
                               }));
const CliCommand mvCommand(QStringLiteral("mv"), QStringLiteral("mv FROM TO"),
                           remote(2, [](const FTPClient& c, const QStringList& p, std::stop_token t) {
                               c.rename(p[0], p[1], t);
                           }));
const CliCommand rmCommand(QStringLiteral("rm"), QStringLiteral("rm PATH"),
                           remote(1, [](const FTPClient& c, const QStringList& p, std::stop_token t) {
                               c.deleteItem(p[0], false, t);
                           }));
const CliCommand rmdirCommand(QStringLiteral("rmdir"), QStringLiteral("rmdir PATH"),
                              remote(1, [](const FTPClient& c, const QStringList& p, std::stop_token t) {
                                  c.deleteItem(p[0], true, t);
                              }));
const CliCommand rmTreeCommand(QStringLiteral("rm-tree"), QStringLiteral("rm-tree PATH"),
                               remote(1, [](const FTPClient& c, const QStringList& p, std::stop_token t) {
                                   c.deleteTree(p[0], true, 0, t);
                               }));
const CliCommand chmodCommand(QStringLiteral("chmod"), QStringLiteral("chmod MODE PATH"),
                              remote(2, [](const FTPClient& c, const QStringList& p, std::stop_token t) {
                                  c.permissions(p[1], p[0], t);
                              }));

}
