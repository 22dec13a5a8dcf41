#pragma once
// What every widget benchmark's main does around its own set-up: an
// offscreen platform unless one is named, whether it runs as a CTest
// (MM_BENCH_TEST=1, results checked rather than timed), and the run of the
// registered cases.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QtGlobal>

#include <cstdlib>
#include <cstring>

inline void UseOffscreenUnlessNamed()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

inline bool BenchRunsAsTest()
{
    const char* asTest = std::getenv("MM_BENCH_TEST");
    return asTest && std::strcmp(asTest, "1") == 0;
}

// Runs the registered cases; 1 on an argument nobody knows.
inline int RunRegisteredBenchmarks(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
