#include "CliProgressBar.h"

#include <QByteArray>
#include <QStringBuilder>
#include <cstdio>
#include <unistd.h>

namespace {
constexpr int width = 40;
}

CliProgressBar::CliProgressBar() : onTerminal(::isatty(STDERR_FILENO) == 1) {}

CliProgressBar::~CliProgressBar()
{
    if (onTerminal && drawnPercent >= 0)
        std::fputc('\n', stderr);
}

void CliProgressBar::show(double fraction)
{
    if (!onTerminal)
        return;
    std::lock_guard guard(lock);
    const int percent = int(fraction * 100.0);
    if (percent == drawnPercent)
        return;
    drawnPercent = percent;
    const int filled = percent * width / 100;
    const QByteArray line = QByteArray(1, '\r') + QByteArray(filled, '#') + QByteArray(width - filled, '.') + ' ' +
                            QByteArray::number(percent).rightJustified(3) + '%';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}
