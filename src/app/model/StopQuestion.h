#pragma once

#include "PromptAlert.h"

#include <QString>
#include <optional>

// The question asked before a quit, a disconnect or a switch to another profile cuts off work
// that is still running: the one the quit asks about pending transfers, with a sentence naming an
// edit whose changes are being uploaded.
namespace StopQuestion {

enum class Stop { quit, disconnect, switchProfile };

// "transfers_active" with "continue_transfers" first and the stop second, or none when the stop
// cuts nothing off. Transfers count only for a quit: a switch is refused while they are pending,
// and a disconnect cancels them as it always has.
std::optional<PromptAlert> alert(Stop stop, bool transfersPending, const std::optional<QString>& editUpload);

} // namespace StopQuestion
