#include "ConflictPrompt.h"

#include "CancellationError.h"
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

ConflictPrompt::ConflictPrompt(std::optional<ConflictAction> fixed) : fixed(fixed) {}

QString ConflictPrompt::kind(const TransferConflict& conflict)
{
    const auto word = [](bool directory) { return directory ? QStringLiteral("true") : QStringLiteral("false"); };
    return word(conflict.source.isDirectory) + QLatin1Char('-') + word(conflict.target.isDirectory);
}

QList<ConflictAction> ConflictPrompt::offered(const TransferConflict& conflict)
{
    QList<ConflictAction> actions;
    for (ConflictAction action : {ConflictAction::merge, ConflictAction::overwrite, ConflictAction::resume,
                                  ConflictAction::rename, ConflictAction::skip})
        if (conflict.allows(action))
            actions.append(action);
    return actions;
}

ConflictAction ConflictPrompt::resolve(const TransferConflict& conflict)
{
    if (fixed)
        return *fixed;
    const QString conflictKind = kind(conflict);
    const auto found = remembered.constFind(conflictKind);
    if (found != remembered.cend() && conflict.allows(*found))
        return *found;
    bool forAll = false;
    const ConflictAction action = ask(conflict, forAll);
    if (forAll)
        remembered.insert(conflictKind, action);
    return action;
}

ConflictAction ConflictPrompt::ask(const TransferConflict& conflict, bool& forAll) const
{
    const QList<ConflictAction> actions = offered(conflict);
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
            throw CancellationError();
        QString answer = line->trimmed();
        forAll = answer.endsWith(QLatin1Char('+'));
        if (forAll)
            answer.chop(1);
        bool number = false;
        const int choice = answer.trimmed().toInt(&number);
        if (number && choice >= 1 && choice <= actions.size())
            return actions.at(choice - 1);
    }
}
