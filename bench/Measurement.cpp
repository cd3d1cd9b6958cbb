#include "Measurement.h"

#include <QFile>
#include <QString>
#include <chrono>

using namespace Qt::StringLiterals;

namespace Measurement {

double seconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

QByteArray load()
{
    QFile average(u"/proc/loadavg"_s);
    return average.open(QIODevice::ReadOnly) ? average.readLine().trimmed() : QByteArray();
}

} // namespace Measurement
