#include <QCoreApplication>
#include <benchmark/benchmark.h>

// The engines look up texts and locales through Qt, which wants an application object.
int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
