#pragma once

#include <mutex>

// A one-line bar on standard error for get and put, drawn only when standard error is a terminal
// so that scripts capturing it read nothing but errors.
class CliProgressBar {
public:
    CliProgressBar();
    ~CliProgressBar();
    CliProgressBar(const CliProgressBar&) = delete;
    CliProgressBar& operator=(const CliProgressBar&) = delete;

    void show(double fraction);

private:
    bool onTerminal;
    std::mutex lock;
    int drawnPercent = -1;
};
