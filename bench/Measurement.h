#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>

// What the latency measurements print beside their figures, and the programs they time.
namespace Measurement {

// The wall-clock time `work` takes.
double seconds(const std::function<void()>& work);
// The system's load averages as the kernel reports them: a figure taken while something else ran
// says so.
QByteArray load();

// What one run measures: the round trips and the cases asked for. Without names, every case but
// dravik-cli's, which start a process per request and take far longer on a long path.
struct Selection {
    QList<std::chrono::milliseconds> roundTrips;
    QStringList cases;

    bool wants(const QString& name) const;
};
// Round trips in ms and case names, in any order: "50 upload upload-large"; 0, 10 and 50 ms
// without a number.
Selection selection(const QStringList& given);

// Runs a program to its end, its output dropped and its diagnostics drained; throws when it fails.
void run(const QString& program, const QStringList& arguments, const QByteArray& input = {},
         const std::optional<QStringList>& environment = std::nullopt);
// dravik-cli's transfer of `words`, one item at a time, as somebody would script it, logging in
// with `secret`. DRAVIK_CLI names another build's to compare with.
void cli(const QString& profileFile, const QString& secret, const QStringList& words);

} // namespace Measurement
