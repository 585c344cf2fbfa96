// The live view end to end: the main window's display loop with the simulated camera, unpaced at
// 2048 x 1536, in three processing set-ups; and the processor time the viewer takes while it shows the
// camera at its own pace. Runs on Qt's offscreen platform, painting included.
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <benchmark/benchmark.h>

#include "CpuTime.h"
#include "LiveWindow.h"
#include "OffscreenMain.h"

#include <algorithm>
#include <ctime>
#include <string>

#include "app/ViewerDlg.h"
#include "live/LiveView.h"
#include "support/WindowDriver.h"

namespace {

using bench::cpuSeconds;
using bench::processCpuSeconds;

// Opens the window on a settings file with the given keys and runs the live view.
void runLive(benchmark::State& state, const char* keys, bool paced)
{
    LiveWindow window(keys, paced);
    LiveView& live = window.dlg().liveView();
    pump(1500); // first frames, auto exposure off, caches warm
    for (auto _ : state) {
        const uint64_t frames = live.framesShown();
        const double cpu = processCpuSeconds();
        QElapsedTimer t;
        t.start();
        pump(3000);
        const double seconds = double(t.elapsed()) / 1000.0;
        state.SetIterationTime(seconds);
        state.counters["fps"] = double(live.framesShown() - frames) / seconds;
        state.counters["cpu_cores"] = (processCpuSeconds() - cpu) / seconds;
    }
}

// The user-interface thread's side of the live view with every kernel on, unpaced: the time to paint the view
// (the published picture; `repaint` of the view's rectangle, background included) per painted frame while the
// picture is panned now and then (wall and user-interface thread processor time), and the longest time the
// user-interface thread waited for the frame lock.
constexpr const char* kAllOn = "m_BayerFlg=1\nGamma=150\nm_HLS.H=10\nm_HLS.L=5\nm_HLS.S=5\nm_HLS.C=20\nm_HLS.SP=30\n"
                               "m_BinaryFlg=0\n";

void uiPaint(benchmark::State& state, const char* zoom)
{
    LiveWindow window(QByteArray(kAllOn) + zoom, false);
    CViewerDlg& dlg = window.dlg();
    pump(1500);
    double paintSeconds = 0, paintCpuSeconds = 0;
    int paints = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 3000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
            if (paints % 10 == 0)
                win::scrollTo(dlg, -101 - paints % 200, -51 - paints % 100);
            const Rect r = dlg.liveView().shownPicture().geometry.view;
            QElapsedTimer p;
            p.start();
            const double cpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
            dlg.repaint(r.left, r.top, r.width(), r.height());
            paintCpuSeconds += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu;
            paintSeconds += double(p.nsecsElapsed()) * 1e-9;
            ++paints;
        }
        state.SetIterationTime(paintSeconds / paints);
    }
    state.counters["paint_ms"] = paintSeconds / paints * 1000.0;
    state.counters["paint_cpu_ms"] = paintCpuSeconds / paints * 1000.0;
    state.counters["lock_wait_ms"] = double(dlg.liveView().longestFrameLockWaitUs()) / 1000.0;
}

void BM_UiPaintAllOnAtFit(benchmark::State& s) { uiPaint(s, "m_Bai=0\n"); }
void BM_UiPaintAllOnAtX4(benchmark::State& s) { uiPaint(s, "m_Bai=3\n"); }

void BM_LiveRawGreyAt1x(benchmark::State& s) { runLive(s, "m_BayerFlg=0\nm_Bai=1\n", false); }
void BM_LiveBayerAtFit(benchmark::State& s) { runLive(s, "m_BayerFlg=1\nm_Bai=0\n", false); }
void BM_LiveBayerGammaContrastSharpenAtFit(benchmark::State& s)
{
    runLive(s, "m_BayerFlg=1\nm_Bai=0\nGamma=150\nm_HLS.C=20\nm_HLS.SP=30\n", false);
}
void BM_LivePacedBayerAtFit(benchmark::State& s) { runLive(s, "m_BayerFlg=1\nm_Bai=0\n", true); }
// Every kernel on, hue/lightness/saturation included: as fast as the camera can go, and at the camera's pace
// (where the figure that counts is the processor share).
void BM_LiveAllOnAtFit(benchmark::State& s) { runLive(s, (std::string(kAllOn) + "m_Bai=0\n").c_str(), false); }
void BM_LivePacedAllOnAtFit(benchmark::State& s) { runLive(s, (std::string(kAllOn) + "m_Bai=0\n").c_str(), true); }

} // namespace

BENCHMARK(BM_UiPaintAllOnAtFit)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UiPaintAllOnAtX4)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiveRawGreyAt1x)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_LiveBayerAtFit)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_LiveBayerGammaContrastSharpenAtFit)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_LivePacedBayerAtFit)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_LiveAllOnAtFit)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_LivePacedAllOnAtFit)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

int main(int argc, char** argv)
{
    return runOffscreenBenchmarks<QApplication>(argc, argv);
}
