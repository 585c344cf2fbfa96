// Recording the live picture: the processor time one frame costs, from the copy the window pushes to the
// encoded fragment in the file, at the camera's 2048 x 1536 and at 1280 x 720, with the recorder's own
// settings (and, for comparison, other presets and two encoder threads). cores_at_12_5fps is the share of one
// core that recording at the camera's 12.5 frames a second takes. Then the main window with the simulated
// camera at its own pace: the frames shown and the processor time in three seconds without recording and in
// three seconds of recording, so the cost of recording and what the display lost to it show side by side.
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "CpuTime.h"
#include "LiveWindow.h"
#include "OffscreenMain.h"
#include "PhotoFrame.h"

#include <QApplication>

#include <chrono>
#include <ctime>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/DialogTemplate.h"
#include "files/VideoRecorder.h"
#include "live/LiveView.h"
#include "support/WindowDriver.h"

namespace {

constexpr int kFrames = 60;
constexpr int kDistinct = 8; // frames that differ, cycled: the encoder compares each with the one before
constexpr double kCameraRate = 12.5;

using bench::processCpuSeconds;

// The photograph-like frame (its centre for the smaller size), panned by a few pixels a frame and with fresh
// sensor noise, as a camera's frames differ from one another.
std::vector<DibImage> cameraFrames(int width, int height)
{
    const DibImage& photo = bench::PhotoFrame();
    std::vector<DibImage> frames(kDistinct);
    std::mt19937 rng(7);
    for (int k = 0; k < kDistinct; ++k) {
        frames[k].Create(width, height, 24);
        const int left = (photo.width() - width) / 2, top = (photo.height() - height) / 2;
        for (int y = 0; y < height; ++y) {
            const uint8_t* from = photo.rowTopDown(top + y);
            uint8_t* to = frames[k].rowTopDown(y);
            for (int x = 0; x < width * 3; ++x) {
                const int shifted = (left * 3 + x + 6 * k) % (photo.width() * 3);
                to[x] = uint8_t(std::clamp(int(from[shifted]) + int(rng() % 5) - 2, 0, 255));
            }
        }
    }
    return frames;
}

void encodeFrames(benchmark::State& state, int width, int height, const char* preset, int threads)
{
    const std::vector<DibImage> frames = cameraFrames(width, height);
    for (auto _ : state) {
        QTemporaryDir dir;
        VideoRecorder recorder;
        VideoRecorder::Options options;
        options.path = dir.filePath("bench.mp4");
        options.width = width;
        options.height = height;
        options.framesPerSecond = kCameraRate;
        if (preset)
            options.preset = preset;
        if (threads)
            options.threads = threads;
        QString error;
        if (!recorder.start(options, &error)) {
            state.SkipWithError(error.toStdString().c_str());
            return;
        }
        const double cpu = processCpuSeconds();
        const auto wall = std::chrono::steady_clock::now();
        for (int i = 0; i < kFrames; ++i) {
            const DibImage& source = frames[size_t(i % kDistinct)];
            DibImage copy; // what the window hands over
            copy.CreateLike(&source);
            std::memcpy(copy.bits(), source.bits(), size_t(source.byteSize()));
            recorder.push(std::move(copy), int64_t(i * 1e6 / kCameraRate));
            // One frame at a time, as the camera gives them: the encoder's cost, not the queue's drops.
            while (recorder.status().frames + recorder.status().dropped <= uint64_t(i))
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        recorder.stop();
        const double cpuMs = (processCpuSeconds() - cpu) * 1000.0 / kFrames;
        const double wallMs
            = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall).count() / kFrames;
        state.SetIterationTime(wallMs * kFrames / 1000.0);
        state.counters["cpu_ms_per_frame"] = cpuMs;
        state.counters["wall_ms_per_frame"] = wallMs;
        state.counters["cores_at_12_5fps"] = cpuMs * kCameraRate / 1000.0;
        state.counters["file_bytes"] = double(QFileInfo(options.path).size());
        state.counters["dropped"] = double(recorder.status().dropped);
    }
}

void liveWhileRecording(benchmark::State& state, bool wholeFrame)
{
    LiveWindow window(wholeFrame ? "m_BayerFlg=1\nm_Bai=0\nRecordSource=frame\n" : "m_BayerFlg=1\nm_Bai=0\nRecordSource=view\n", true);
    LiveView& live = window.dlg().liveView();
    constexpr int kMs = 3000;
    pump(1500); // first frames, caches warm
    for (auto _ : state) {
        uint64_t frames = live.framesShown();
        double cpu = processCpuSeconds();
        pump(kMs);
        const double quietFrames = double(live.framesShown() - frames);
        const double quietCores = (processCpuSeconds() - cpu) * 1000.0 / kMs;
        win::click(window.dlg(), IDC_REC);
        frames = live.framesShown();
        cpu = processCpuSeconds();
        pump(kMs);
        const double busyFrames = double(live.framesShown() - frames);
        const double busyCores = (processCpuSeconds() - cpu) * 1000.0 / kMs;
        win::click(window.dlg(), IDC_REC);
        state.SetIterationTime(kMs / 1000.0);
        state.counters["fps_quiet"] = quietFrames * 1000.0 / kMs;
        state.counters["fps_recording"] = busyFrames * 1000.0 / kMs;
        state.counters["cores_quiet"] = quietCores;
        state.counters["cores_recording"] = busyCores;
        state.counters["recording_cost_cores"] = busyCores - quietCores;
    }
}

void registerAll()
{
    for (const bool whole : { true, false })
        benchmark::RegisterBenchmark(whole ? "BM_LiveWhileRecording/whole_frame" : "BM_LiveWhileRecording/view",
            [whole](benchmark::State& s) { liveWhileRecording(s, whole); })
            ->UseManualTime()
            ->Iterations(1)
            ->Unit(benchmark::kSecond);
    const auto add = [](const std::string& name, int w, int h, const char* preset, int threads) {
        benchmark::RegisterBenchmark(("BM_EncodeFrame/" + name).c_str(),
            [=](benchmark::State& s) { encodeFrames(s, w, h, preset, threads); })
            ->UseManualTime()
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    };
    add("2048x1536", 2048, 1536, nullptr, 0); // the recorder's own settings
    add("1280x720", 1280, 720, nullptr, 0);
    add("2048x1536/threads:2", 2048, 1536, nullptr, 2);
    for (const char* preset : { "ultrafast", "superfast", "veryfast", "faster" })
        add(std::string("2048x1536/preset:") + preset, 2048, 1536, preset, 0);
}

} // namespace

int main(int argc, char** argv)
{
    registerAll();
    return runOffscreenBenchmarks<QApplication>(argc, argv);
}
