#pragma once

#include <QByteArray>
#include <functional>

// What the latency measurements print beside their figures.
namespace Measurement {

// The wall-clock time `work` takes.
double seconds(const std::function<void()>& work);
// The system's load averages as the kernel reports them: a figure taken while something else ran
// says so.
QByteArray load();

} // namespace Measurement
