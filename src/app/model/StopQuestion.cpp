#include "StopQuestion.h"

#include "L10n.h"

using namespace Qt::StringLiterals;

namespace StopQuestion {

std::optional<PromptAlert> alert(Stop stop, bool transfersPending, const std::optional<QString>& editUpload)
{
    QStringList sentences;
    if (stop == Stop::quit && transfersPending)
        sentences << L("quit_warning");
    if (editUpload)
        sentences << L("edit_upload_active", *editUpload);
    if (sentences.isEmpty())
        return std::nullopt;
    const char* const go = stop == Stop::quit ? "quit" : stop == Stop::disconnect ? "disconnect" : "connect";
    return PromptAlert{
        PromptAlert::Style::warning, L("transfers_active"), sentences.join(u' '), {L("continue_transfers"), L(go)}};
}

} // namespace StopQuestion
