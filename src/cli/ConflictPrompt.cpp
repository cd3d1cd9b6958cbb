#include "ConflictPrompt.h"

#include "CliCommand.h"
#include "CliInput.h"
#include "L10n.h"
#include "TextRules.h"

#include <cstdio>

namespace {

void put(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

void show(const QString& line)
{
    put(line + QLatin1Char('\n'));
}

QString label(ConflictAction action)
{
    switch (action) {
    case ConflictAction::merge: return L("merge_folders");
    case ConflictAction::overwrite: return L("overwrite");
    case ConflictAction::resume: return L("resume_file");
    case ConflictAction::rename: return L("rename_keep");
    case ConflictAction::skip: return L("skip_existing");
    }
    return {};
}

QString describe(const FileEntry& entry, const QString& path)
{
    const QString size = entry.isDirectory ? L("folder_item") : entry.size ? L10n::byteCount(*entry.size) : QString();
    return TextRules::visible(path) + QStringLiteral("  ") + size;
}

} // namespace

ConflictPrompt::ConflictPrompt(std::optional<ConflictAction> fixedAction) : fixed(fixedAction) {}

std::optional<ConflictAction> ConflictPrompt::takeOption(QStringList& words)
{
    const qsizetype option = words.indexOf(QStringLiteral("--on-conflict"));
    if (option < 0)
        return std::nullopt;
    if (option + 1 >= words.size())
        throw UsageError(QStringLiteral("--on-conflict needs an action"));
    const std::optional<ConflictAction> action = ConflictActions::fromRawValue(words.at(option + 1));
    if (!action)
        throw UsageError(QStringLiteral("--on-conflict takes overwrite, resume, rename, skip or merge"));
    words.remove(option, 2);
    return action;
}

std::optional<ConflictAnswer> ConflictPrompt::answer(const TransferConflict& conflict) const
{
    if (fixed)
        return ConflictAnswer{*fixed, false};
    return askOnTerminal(conflict);
}

ConflictBatchPolicy::Ask ConflictPrompt::ask() const
{
    return [this](const TransferConflict& conflict) { return answer(conflict); };
}

std::optional<ConflictAnswer> ConflictPrompt::askOnTerminal(const TransferConflict& conflict) const
{
    const QList<ConflictAction> actions = ConflictBatchPolicy::offered(conflict);
    show(L("conflict_title"));
    show(QStringLiteral("  ") + L("source_item") + QStringLiteral(": ") +
         describe(conflict.source, conflict.upload ? conflict.local : conflict.remote));
    show(QStringLiteral("  ") + L("target_item") + QStringLiteral(": ") +
         describe(conflict.target, conflict.upload ? conflict.remote : conflict.local));
    for (qsizetype n = 0; n < actions.size(); ++n)
        show(QStringLiteral("  %1) %2").arg(n + 1).arg(label(actions.at(n))));
    show(QStringLiteral("  +) ") + L("apply_batch"));
    for (;;) {
        put(QStringLiteral("[1-%1][+] ").arg(actions.size()));
        const std::optional<QString> line = CliInput::readLine();
        if (!line)
            return std::nullopt;
        QString answer = line->trimmed();
        const bool forAll = answer.endsWith(QLatin1Char('+'));
        if (forAll)
            answer.chop(1);
        bool number = false;
        const int choice = answer.trimmed().toInt(&number);
        if (number && choice >= 1 && choice <= actions.size())
            return ConflictAnswer{actions.at(choice - 1), forAll};
    }
}
