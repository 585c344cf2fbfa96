// The main() of benchmarks that draw (fonts and painters need a GUI application): Qt on its offscreen
// platform, then Google Benchmark. App is QGuiApplication, or QApplication where widgets are used.
#pragma once

#include <QByteArray>

#include <benchmark/benchmark.h>

template <typename App> int runOffscreenBenchmarks(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
