// Capture throughput from an unpaced simulated camera: frames per second that the capture thread together
// with a reader calling IsFrameReady and GetImage sustains, at the full window and at skip mode 1; and the
// simulated driver's CPU time per rendered frame, inside the capture run and alone.
#include <benchmark/benchmark.h>

#include <thread>
#include <vector>

#include "camera/CameraDevice.h"
#include "platform/DeviceIo.h"
#include "platform/simcam/SimCamera.h"

namespace {

void noSleep(uint32_t) {}

// A camera on a fresh, unpaced simulated driver, set up as the viewer sets it up.
struct Rig {
    std::shared_ptr<SimCamera> sim = installSimulatedCamera(0);
    CameraDevice* camera = nullptr;

    explicit Rig(int skip)
    {
        sim->setPaced(false);
        CameraDevice::setSleepHook(&noSleep);
        camera = new CameraDevice;
        camera->SetWindow(0, 0, 2048, 1536, skip);
        camera->SetMirror(1);
        camera->SetShutter(536);
    }
    ~Rig()
    {
        delete camera;
        CameraDevice::setSleepHook(nullptr);
        uninstallSimulatedCamera(0);
    }
};

// Each iteration takes one new frame, as the display loop does.
void BM_Capture(benchmark::State& state)
{
    Rig rig(int(state.range(0)));
    CameraDevice& camera = *rig.camera;
    const int width = camera.activeWidth(), height = camera.activeHeight(), stride = (width + 3) & ~3;
    std::vector<uint8_t> picture(size_t(stride) * height);
    camera.StartCapture();
    const uint64_t frames0 = rig.sim->framesDelivered();
    const int64_t cpu0 = rig.sim->renderCpuNanos();
    for (auto _ : state) {
        while (!camera.IsFrameReady())
            std::this_thread::yield();
        camera.GetImage(picture.data(), width, height, stride);
    }
    camera.StopCapture();
    const double rendered = double(rig.sim->framesDelivered() - frames0);
    state.counters["frames_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["rendered_per_s"] = benchmark::Counter(rendered, benchmark::Counter::kIsRate);
    state.counters["driver_cpu_ms_per_frame"] = double(rig.sim->renderCpuNanos() - cpu0) / rendered / 1e6;
}
BENCHMARK(BM_Capture)->Arg(0)->Arg(1)->ArgName("skip")->UseRealTime()->Unit(benchmark::kMillisecond);

// The driver alone: one frame request and one frame read per iteration, on this thread.
void BM_DriverFrameRead(benchmark::State& state)
{
    Rig rig(int(state.range(0)));
    std::vector<uint8_t> frame(size_t(rig.camera->transferLength()));
    DeviceHandle handle = DeviceIo::open(rig.camera->devicePath());
    const uint32_t requestPipe = 0, framePipe = 2;
    for (auto _ : state) {
        uint8_t request[64] = {2};
        uint32_t returned = 0;
        DeviceIo::control(handle, 0x22204E, &requestPipe, 4, request, 64, &returned);
        DeviceIo::control(handle, 0x2220A9, &framePipe, 4, frame.data(), uint32_t(frame.size()), &returned);
        benchmark::DoNotOptimize(frame.data());
    }
    DeviceIo::close(handle);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frame.size()));
}
BENCHMARK(BM_DriverFrameRead)->Arg(0)->Arg(1)->ArgName("skip")->Unit(benchmark::kMillisecond);

// The reader's copy of the window out of a ring buffer; the wait for each new frame is not timed (a frame
// is copied once: after its copy the reader holds no complete frame until the next one).
void BM_GetImage(benchmark::State& state)
{
    Rig rig(0);
    CameraDevice& camera = *rig.camera;
    std::vector<uint8_t> picture(2048 * 1536);
    camera.StartCapture();
    for (auto _ : state) {
        state.PauseTiming();
        while (!camera.IsFrameReady())
            std::this_thread::yield();
        state.ResumeTiming();
        camera.GetImage(picture.data(), 2048, 1536, 2048);
        benchmark::DoNotOptimize(picture.data());
    }
    camera.StopCapture();
    state.SetBytesProcessed(int64_t(state.iterations()) * 2048 * 1536);
}
BENCHMARK(BM_GetImage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
