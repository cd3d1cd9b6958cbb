#pragma once

#include <exception>
#include <stop_token>

// Thrown by an operation whose task was cancelled. Never shown to the user and never logged.
class CancellationError : public std::exception {
public:
    const char* what() const noexcept override { return "cancelled"; }

    // Throws when a stop was requested; the check every engine makes at its cancellation points.
    static void check(const std::stop_token& token)
    {
        if (token.stop_requested())
            throw CancellationError();
    }
};
