#pragma once

#include <QString>
#include <exception>
#include <functional>

class ActivityLog;
class Prompter;
class QThreadPool;

// What every part of the model is given at construction: whom to ask, where to run blocking work,
// where to log, and how to show a person a failure. All of it outlives the part.
struct PartContext {
    Prompter& prompter;
    QThreadPool& pool;
    ActivityLog& activity;
    // Puts a sentence in the error alert.
    std::function<void(const QString&)> showError;

    void record(const QString& line) const;
    // Shows the sentence and, with `log`, records it.
    void report(const QString& sentence, bool log = true) const;
    // Shows the sentence of `error` (none for a cancellation) and, with `log`, records it.
    void report(const std::exception_ptr& error, bool log = true) const;
    // A store replaced `file`, which it could not read, after keeping it as `keptAs` (nothing
    // happened when that is empty): tells the person where.
    void reportKept(const QString& file, const QString& keptAs) const;
};
