#pragma once

#include <stop_token>

// SIGINT and SIGTERM for the whole run of dravik-cli. They are blocked in every thread from the
// first line of main, before the secret store or Qt start threads of their own (a thread that
// did not block them would let either signal kill the program outright, leaving curl and a
// partial file behind), and one watcher thread takes them: while a command's remote operation
// runs they ask it to stop; before it, they end the program as the signal would; after it they
// are ignored, so that a late Ctrl-C never turns a finished command into a killed one.
namespace StopSignals {

// Once, first thing in main.
void install();
std::stop_token token();

// Marks the remote operation of a command for as long as it lives.
class Operation {
public:
    Operation();
    ~Operation();
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;
};

} // namespace StopSignals
