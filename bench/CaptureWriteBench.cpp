// Quick capture at 2048 x 1536 colour, per format: the time from the key to the file in place (the copy, the
// queue, the encoding and the atomic write), and what a burst of eight captures costs the live view: the
// frames shown in three seconds of the camera's own pace with the burst, against three seconds without.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "LiveWindow.h"
#include "OffscreenMain.h"
#include "PhotoFrame.h"

#include "app/DialogTemplate.h"
#include "files/QuickCapture.h"
#include "live/LiveView.h"
#include "session/ViewerSession.h"
#include "support/WindowDriver.h"

namespace {

const char* const kFormatNames[] = { "", "bmp", "jpeg", "png", "tiff" };

void BM_KeyToFile(benchmark::State& state)
{
    const int format = int(state.range(0));
    state.SetLabel(kFormatNames[format]);
    QTemporaryDir dir;
    const DibImage& source = bench::PhotoFrame();
    QuickCapture capture;
    CaptureOptions options;
    options.format = format;
    options.namePattern = "shot_%n";
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        DibImage copy; // the copy the key takes of the picture
        copy.CreateLike(&source);
        copy.Blit(source, nullptr, 0, 0);
        QString path;
        capture.capture(std::move(copy), dir.path(), options, "", {}, {}, QDateTime::currentDateTime(), &path);
        capture.waitUntilIdle();
        state.SetIterationTime(double(t.nsecsElapsed()) * 1e-9);
        if (!QFileInfo::exists(path))
            state.SkipWithError("the file was not written");
        capture.takeFinished();
        QFile::remove(path);
    }
}

void BM_LiveDuringBurstOf8(benchmark::State& state)
{
    const int format = int(state.range(0));
    state.SetLabel(kFormatNames[format]);
    LiveWindow window("m_BayerFlg=1\nm_Bai=0\n", true);
    window.dlg().session().captureOptions().format = format;
    LiveView& live = window.dlg().liveView();
    constexpr int kMs = 3000;
    pump(1500); // first frames, caches warm
    for (auto _ : state) {
        uint64_t frames = live.framesShown();
        pump(kMs);
        const double quiet = double(live.framesShown() - frames);
        frames = live.framesShown();
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < QuickCapture::kMaxPending; ++i) {
            win::click(window.dlg(), IDC_QUICK);
            pump(10);
        }
        pump(int(kMs - t.elapsed()));
        state.SetIterationTime(double(t.elapsed()) / 1000.0);
        const double busy = double(live.framesShown() - frames);
        state.counters["fps_quiet"] = quiet * 1000.0 / kMs;
        state.counters["fps_burst"] = busy * 1000.0 / kMs;
        state.counters["frames_lost_per_capture"] = (quiet - busy) / QuickCapture::kMaxPending;
        const QDir saved(window.dlg().session().thumbnails().saveFolder());
        state.counters["files"] = double(saved.entryList({ "*." + CaptureOptions::Extension(format) }).size());
    }
}

} // namespace

BENCHMARK(BM_KeyToFile)->DenseRange(1, 4)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LiveDuringBurstOf8)->DenseRange(1, 4)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

int main(int argc, char** argv)
{
    return runOffscreenBenchmarks<QApplication>(argc, argv);
}
