// A long run of the live view: 100,000 frames (NX_SOAK_FRAMES) from the simulated camera, unpaced, through
// the main window's display loop with every processing step on, composed at fit and painted by the
// user-interface thread as the viewer runs, with the resident set size read every 10,000 frames. Memory
// should be flat once the first thousand frames have made every buffer. Prints the table; the counters give
// the size after the first thousand frames, at the end, and the growth in between.
#include <QApplication>
#include <QThread>

#include <benchmark/benchmark.h>

#include "LiveWindow.h"
#include "OffscreenMain.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "live/LiveView.h"
#include "support/ResidentSet.h"

namespace {

// Bayer with colour gains, hue/brightness/saturation, gamma, contrast, sharpening, binarisation and auto
// exposure by the gain, at fit, on a 640 x 480 capture window (NX_SOAK_WIDTH / NX_SOAK_HEIGHT change it).
QByteArray settingsText()
{
    const int width = qEnvironmentVariableIsSet("NX_SOAK_WIDTH") ? qEnvironmentVariableIntValue("NX_SOAK_WIDTH") : 640;
    const int height
        = qEnvironmentVariableIsSet("NX_SOAK_HEIGHT") ? qEnvironmentVariableIntValue("NX_SOAK_HEIGHT") : 480;
    return QByteArray("[NX-QB740LE]\nm_BayerFlg=1\nm_BayerR=1.2\nm_BayerB=0.8\nGamma=150\nm_HLS.H=10\n"
                      "m_HLS.L=5\nm_HLS.S=5\nm_HLS.C=20\nm_HLS.SP=30\nm_BinaryFlg=1\nm_Binary=100\n"
                      "m_AutoIrisFlg=1\nm_AutoIrisMode=0\nm_Bai=0\n")
        + "EH=" + QByteArray::number(width) + "\nEV=" + QByteArray::number(height) + "\nEHS="
        + QByteArray::number((2048 - width) / 2 & ~1) + "\nEVS=" + QByteArray::number((1536 - height) / 2 & ~1) + "\n";
}

double megabytes(int64_t bytes)
{
    return double(bytes) / double(1 << 20);
}

void Soak(benchmark::State& state)
{
    const uint64_t total = qEnvironmentVariableIsSet("NX_SOAK_FRAMES")
        ? uint64_t(qEnvironmentVariableIntValue("NX_SOAK_FRAMES"))
        : 100000;
    constexpr uint64_t kFirst = 1000, kStep = 10000;
    LiveWindow window(settingsText(), false);
    const LiveView& live = window.dlg().liveView();

    struct Row {
        uint64_t frames;
        int64_t resident;
        double seconds;
    };
    std::vector<Row> rows;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const auto seconds
            = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
        rows.push_back({ live.framesShown(), livetest::residentBytes(), 0.0 });
        uint64_t next = std::min(kFirst, total);
        while (rows.back().frames < total) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
            if (live.framesShown() >= next) {
                rows.push_back({ live.framesShown(), livetest::residentBytes(), seconds() });
                next = std::min(next < kStep ? kStep : next + kStep, total);
            }
        }
        state.SetIterationTime(seconds());
    }

    std::printf("\n%10s %14s %10s\n", "frames", "resident MB", "seconds");
    for (const Row& r : rows)
        std::printf(
            "%10llu %14.1f %10.1f\n", static_cast<unsigned long long>(r.frames), megabytes(r.resident), r.seconds);
    if (rows.size() >= 2) {
        state.counters["rss_after_1k_MB"] = megabytes(rows[1].resident);
        state.counters["rss_end_MB"] = megabytes(rows.back().resident);
        state.counters["growth_after_1k_MB"] = megabytes(rows.back().resident - rows[1].resident);
        state.counters["frames"] = double(rows.back().frames);
        state.counters["fps"] = double(rows.back().frames - rows.front().frames) / rows.back().seconds;
    }
}

} // namespace

BENCHMARK(Soak)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

int main(int argc, char** argv)
{
    return runOffscreenBenchmarks<QApplication>(argc, argv);
}
