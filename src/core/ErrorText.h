#pragma once

#include <QString>
#include <exception>
#include <optional>

// The one place where a caught error becomes the sentence the user reads. A cancellation gives
// no sentence at all: it is never shown and never logged.
namespace ErrorText {
std::optional<QString> sentence(std::exception_ptr error);
}
