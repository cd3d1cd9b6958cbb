#include "ListingParser.h"

#include <QString>
#include <benchmark/benchmark.h>

namespace {

constexpr int lineCount = 50000;

QString mlsdListing()
{
    QString text;
    for (int i = 0; i < lineCount; ++i)
        text += QStringLiteral("modify=20240131120000;perm=adfrw;size=%1;type=%2;unique=FE00U%1;UNIX.mode=0644; "
                               "file %1 report.pdf\r\n")
                    .arg(i)
                    .arg(i % 10 == 0 ? QStringLiteral("dir") : QStringLiteral("file"));
    return text;
}

QString unixListing()
{
    QString text = QStringLiteral("total 123456\r\n");
    for (int i = 0; i < lineCount; ++i)
        text += QStringLiteral("%1rw-r--r--   1 tester   users %2 Jan 31  2024 Photo %3.jpg\r\n")
                    .arg(i % 10 == 0 ? QLatin1Char('d') : QLatin1Char('-'))
                    .arg(1000 + i, 12)
                    .arg((i * 7919) % lineCount);
    return text;
}

void parse(benchmark::State& state, const QString& listing)
{
    for (auto _ : state) {
        auto entries = ListingParser::parse(listing);
        benchmark::DoNotOptimize(entries);
        if (entries.size() != lineCount)
            state.SkipWithError("wrong entry count");
    }
}

void BM_ParseAndSortMLSD(benchmark::State& state)
{
    parse(state, mlsdListing());
}
void BM_ParseAndSortUnix(benchmark::State& state)
{
    parse(state, unixListing());
}

} // namespace

BENCHMARK(BM_ParseAndSortMLSD)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseAndSortUnix)->Unit(benchmark::kMillisecond);
