#pragma once

#include <QString>
#include <optional>

// Standard input read one line at a time, so that a password on the first line and answers to
// later questions can share it.
namespace CliInput {

// The next line without its line break; absent at the end of input.
std::optional<QString> readLine();
// The first line of standard input; throws FTPError when curl and ssh cannot take it.
QString readPassword();

} // namespace CliInput
