#include "InstalledTree.h"
#include "BuildInfo.h"
#include "CliTestRun.h"
#include "ProfileStore.h"
#include "QtPrinters.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// The page as man shows it, in one line per paragraph so that no option is broken across lines.
QString manualPage(const QString& file)
{
    qputenv("MANWIDTH", "2000");
    qputenv("MANPAGER", "cat");
    return QString::fromUtf8(
        CliTestRun::run({"--no-hyphenation", "--no-justification", "-l", file}, {}, QStringLiteral("/usr/bin/man"))
            .output);
}

// What `words` completes to in bash, the completion installed with the program (which is found
// by its path, as when a person types it).
QStringList completions(const InstalledTree& tree, QStringList words)
{
    words.prepend(tree.file("bin/dravik-cli"));
    QString array;
    for (const QString& word : words)
        array += " '" + word + "'";
    const QString script = "source '" + tree.file("share/bash-completion/completions/dravik-cli") + "'\nCOMP_WORDS=(" +
                           array + ")\nCOMP_CWORD=" + QString::number(words.size() - 1) +
                           "\n_dravik_cli\nprintf '%s\\n' \"${COMPREPLY[@]}\"";
    QStringList lines = QString::fromUtf8(CliTestRun::run({"-c", script}, {}, QStringLiteral("/bin/bash")).output)
                            .split('\n', Qt::SkipEmptyParts);
    lines.sort();
    return lines;
}

ServerProfile saved(const QString& name)
{
    ServerProfile profile;
    profile.name = name;
    profile.host = QStringLiteral("ftp.example.org");
    profile.username = QStringLiteral("anna");
    return profile;
}

} // namespace

// The pages are made from --help at build time; what they must carry is what --help says.
TEST(InstalledTree, BothProgramsAnswerHelpAndVersionWithoutADisplayAndTheirPagesCarryEveryCommandAndOption)
{
    // As a text console starts them: no display of any kind.
    for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        qunsetenv(display);
    const InstalledTree tree;
    for (const QString program : {"dravik", "dravik-cli"}) {
        const CliTestRun version = CliTestRun::run({"--version"}, {}, tree.file("bin/" + program));
        EXPECT_EQ(version.exitStatus, 0) << version.error.data();
        EXPECT_TRUE(version.output.startsWith((program + ' ' + QLatin1String(BuildInfo::version)).toUtf8()))
            << version.output.data();
        const CliTestRun run = CliTestRun::run({"--help"}, {}, tree.file("bin/" + program));
        const QString help = QString::fromUtf8(run.output);
        ASSERT_EQ(run.exitStatus, 0) << run.error.data();
        ASSERT_TRUE(help.startsWith("Usage: " + program + " ")) << qPrintable(help);

        QStringList expected;
        for (const QRegularExpressionMatch& option : QRegularExpression("--[a-z][a-z-]*").globalMatch(help))
            expected << option.captured();
        const QString commands = help.section("\nCommands:\n", 1).section("\n\n", 0, 0);
        for (const QRegularExpressionMatch& command :
             QRegularExpression("^  ([a-z][a-z-]*)", QRegularExpression::MultilineOption).globalMatch(commands))
            expected << command.captured(1);
        if (program == "dravik-cli") {
            EXPECT_TRUE(expected.contains("profile-names") && expected.contains("--json")) << qPrintable(help);
        }

        const QString page = manualPage(tree.file("share/man/man1/" + program + ".1.gz"));
        ASSERT_TRUE(page.contains("ENVIRONMENT")) << qPrintable(page);
        for (const QString& word : expected)
            EXPECT_TRUE(page.contains(QRegularExpression("(^|[\\s\\[|])" + QRegularExpression::escape(word) + "\\b")))
                << qPrintable(program) << ": " << qPrintable(word);
    }
}

TEST(InstalledTree, BashCompletesCommandsOptionsSavedProfilesAndLocalPaths)
{
    const InstalledTree tree;
    ProfileStore::save({saved("Demo server"), saved("Work")});
    const QString folder = tree.file("share/man/man1/");
    const struct {
        QStringList words;
        QStringList expected;
    } cases[] = {
        {{"--saved", ""}, {"Demo\\ server", "Work"}},
        {{"--saved", "De"}, {"Demo\\ server"}},
        {{"--saved", "Demo\\ s"}, {"Demo\\ server"}},
        {{"--saved", "\"Demo s"}, {"Demo server"}},
        {{"--sa"}, {"--saved"}},
        {{"--saved", "Work", "pro"}, {"profile-names", "profiles"}},
        {{"--lang", "de", "rm"}, {"rm", "rm-tree", "rmdir"}},
        {{"--saved", "Work", "plan", ""}, {"download", "upload"}},
        {{"--saved", "Work", "plan", "download", "/a", "b", "--"}, {"--json", "--on-conflict"}},
        {{"plan", "--on-conflict", "re"}, {"rename", "resume"}},
        {{"--profile", folder + "dravik-c"}, {folder + "dravik-cli.1.gz"}},
        {{"--saved", "Work", "put", folder + "dr"}, {folder + "dravik-cli.1.gz", folder + "dravik.1.gz"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(completions(tree, c.words), c.expected) << qPrintable(c.words.join(' '));
}
