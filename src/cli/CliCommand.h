#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <stdexcept>

// What every command of dravik-cli sees: the options given before the command, and the words
// after it.
struct CliContext {
    std::optional<QString> language;
    std::optional<QString> profileFile;
    std::optional<QString> savedProfile;
    bool passwordFromStandardInput = false;
    QStringList arguments;
};

// A command line that cannot be read; dravik-cli prints the usage and exits with status 2.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString& text) : std::runtime_error(text.toStdString()) {}
};

// A command registers itself with a static CliCommand in its own source file.
class CliCommand {
public:
    using Run = std::function<int(CliContext&)>;

    CliCommand(QString name, QString usage, QString summary, Run run);

    static const CliCommand* find(const QString& name);
    // What --help prints; the manual page is made from it, so it holds every command and option.
    static QString usageText();
    static QString versionText();

    const QString name;
    const QString usage;
    const QString summary;
    const Run run;
};
