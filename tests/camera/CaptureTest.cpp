// The capture engine: ring index rules, the window copied at the destination's stride and never past it,
// a reader running beside the capture thread, start and stop rules, and failing or vanishing devices.
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "CameraTestSupport.h"
#include "camera/FrameRing.h"
#include "platform/DeviceIo.h"

using namespace camtest;

namespace {

// A raw frame straight from the driver, as the capture thread would read it.
std::vector<uint8_t> readRawFrame(const CameraDevice& camera)
{
    std::vector<uint8_t> frame(size_t(camera.transferLength()));
    DeviceHandle handle = DeviceIo::open(camera.devicePath());
    uint32_t requestPipe = 0, framePipe = 2, returned = 0;
    uint8_t request[64] = {2};
    EXPECT_TRUE(DeviceIo::control(handle, 0x22204E, &requestPipe, 4, request, 64, &returned));
    EXPECT_TRUE(DeviceIo::control(handle, 0x2220A9, &framePipe, 4, frame.data(), uint32_t(frame.size()), &returned));
    DeviceIo::close(handle);
    return frame;
}

bool allZero(const std::vector<uint8_t>& v)
{
    return std::all_of(v.begin(), v.end(), [](uint8_t b) { return b == 0; });
}

}  // namespace

TEST(FrameRing, NewestIsTheLastCompleted_WriterStepsOverTheReader)
{
    constexpr int kNone = RingIndices::kNone;
    RingIndices ring;  // the writer fills 0, nothing complete
    EXPECT_FALSE(ringTakeNewest(ring));
    ring = ringComplete(ring, 4);
    EXPECT_EQ(ring.newest, 0);
    EXPECT_EQ(ring.write, 1);
    ASSERT_TRUE(ringTakeNewest(ring));
    EXPECT_EQ(ring.read, 0);
    EXPECT_EQ(ring.newest, kNone);

    // Five frames, more than a lap, while the reader holds 0: the writer steps over it (1, 2, 3, 1, 2) and
    // the newest is the last one completed, not the buffer after the reader's.
    for (int i = 0; i < 5; ++i) {
        ring = ringComplete(ring, 4);
        EXPECT_NE(ring.write, 0);
    }
    EXPECT_EQ(ring.newest, 2);
    EXPECT_EQ(ring.write, 3);
    ASSERT_TRUE(ringTakeNewest(ring));
    EXPECT_EQ(ring.read, 2);
    const RingIndices copy = RingIndices::unpack(ring.pack());
    EXPECT_EQ(copy.write, 3);
    EXPECT_EQ(copy.newest, kNone);
    EXPECT_EQ(copy.read, 2);

    // A ring of two with the reader holding one buffer: the writer refills the other and offers nothing,
    // until the reader lets go.
    RingIndices two = ringComplete(RingIndices{}, 2);
    ASSERT_TRUE(ringTakeNewest(two));
    two = ringComplete(two, 2);
    EXPECT_EQ(two.write, 1);
    EXPECT_EQ(two.newest, kNone);
    two.read = kNone;
    two = ringComplete(two, 2);
    EXPECT_EQ(two.newest, 1);
    EXPECT_EQ(two.write, 0);
}

TEST_F(CameraFixture, GetImage_CopiesWindowAtDestinationStride_WidthNotMultipleOfFour)
{
    sim->setNoise(false);
    sim->setMotion(false);
    CameraDevice camera;
    ASSERT_EQ(camera.SetWindow(2, 4, 638, 479, 0), 0);
    const std::vector<uint8_t> raw = readRawFrame(camera);

    // A bottom-up 8-bit picture's memory: stride 640, plus guard bytes after it.
    const int stride = 640, width = 638, height = 479;
    std::vector<uint8_t> picture(size_t(stride) * height + 64, 0xA5);
    ASSERT_EQ(camera.StartCapture(), 0);
    ASSERT_TRUE(waitFor([&] { return camera.IsFrameReady() == 1; }));
    ASSERT_EQ(camera.GetImage(picture.data(), width, height, stride), 0);
    EXPECT_EQ(camera.StopCapture(), 0);

    for (int row = 0; row < height; ++row) {
        const uint8_t* got = &picture[size_t(row) * stride];
        const uint8_t* want = &raw[size_t(row) * camera.lineLength() + 396];
        ASSERT_EQ(std::memcmp(got, want, width), 0) << "row " << row;
        EXPECT_EQ(got[width], 0xA5);  // row padding untouched
        EXPECT_EQ(got[width + 1], 0xA5);
    }
    for (size_t i = size_t(stride) * height; i < picture.size(); ++i)
        ASSERT_EQ(picture[i], 0xA5);
}

TEST_F(CameraFixture, GetImage_SmallerDestination_NeverWritesPast_BadDestinationRefused)
{
    sim->setNoise(false);
    sim->setMotion(false);
    CameraDevice camera;
    ASSERT_EQ(camera.SetWindow(0, 0, 640, 480, 0), 0);
    const std::vector<uint8_t> raw = readRawFrame(camera);
    ASSERT_EQ(camera.StartCapture(), 0);
    ASSERT_TRUE(waitFor([&] { return camera.IsFrameReady() == 1; }));

    std::vector<uint8_t> small(100 * 50 + 16, 0x5A);
    ASSERT_EQ(camera.GetImage(small.data(), 100, 50, 100), 0);
    for (int row = 0; row < 50; ++row)
        ASSERT_EQ(std::memcmp(&small[size_t(row) * 100], &raw[size_t(row) * camera.lineLength() + 396], 100), 0);
    for (size_t i = 100 * 50; i < small.size(); ++i)
        ASSERT_EQ(small[i], 0x5A);

    EXPECT_EQ(camera.GetImage(nullptr, 640, 480, 640), 14);
    EXPECT_EQ(camera.GetImage(small.data(), 0, 50, 100), 14);
    EXPECT_EQ(camera.GetImage(small.data(), 100, -1, 100), 14);
    EXPECT_EQ(camera.GetImage(small.data(), 100, 50, 99), 14);
    EXPECT_EQ(camera.StopCapture(), 0);
}

TEST_F(CameraFixture, Capture_ReaderBesideCaptureThreadAndRegisterTraffic_FramesFlowStopCleanly)
{
    CameraDevice camera;
    ASSERT_EQ(camera.SetWindow(0, 0, 320, 240, 0), 0);
    ASSERT_EQ(camera.StartCapture(), 0);
    EXPECT_EQ(camera.StartCapture(), 21);  // the running thread is left alone
    EXPECT_TRUE(camera.isCapturing());

    // The display side takes frames while the user-interface side turns the gain (as auto exposure does).
    std::atomic<int> taken{0};
    std::atomic<bool> done{false};
    std::thread reader([&] {
        std::vector<uint8_t> picture(320 * 240);
        while (!done)
            if (camera.IsFrameReady() && camera.GetImage(picture.data(), 320, 240, 320) == 0)
                ++taken;
    });
    for (int i = 0; i < 50 && taken < 30; ++i) {
        camera.SetGlobalGain(uint8_t(10 + i % 20));
        uint16_t shutter = 0;
        camera.GetShutter(&shutter);
    }
    EXPECT_TRUE(waitFor([&] { return taken >= 30; }));
    EXPECT_EQ(camera.StopCapture(), 0);
    done = true;
    reader.join();
    EXPECT_FALSE(camera.isCapturing());
    EXPECT_EQ(camera.StopCapture(), 0);  // not running: at once
    EXPECT_GE(sim->framesDelivered(), uint64_t(taken.load()));
}

TEST_F(CameraFixture, Geometry_BoundsAndTheRing)
{
    CameraDevice camera;
    EXPECT_EQ(camera.SetGeometry(0, 0, 1, 10, 0, 10, 10), 3);
    EXPECT_EQ(camera.SetGeometry(100, 50, 51, 10, 0, 10, 10), 3);
    EXPECT_EQ(camera.SetGeometry(100, -1, 50, 10, 0, 10, 10), 3);
    EXPECT_EQ(camera.SetGeometry(100, 0, 100, 10, 5, 6, 10), 4);
    EXPECT_EQ(camera.SetGeometry(100, 0, 100, 0, 0, 1, 10), 4);
    EXPECT_EQ(camera.SetGeometry(100, 0, 100, 10, 0, 10, 1), 1);
    EXPECT_EQ(camera.transferLength(), 3780608);  // refused: nothing changed

    EXPECT_EQ(camera.SetGeometry(1000, 0, 1000, 4, 0, 4, 2), 0);
    EXPECT_EQ(camera.transferLength(), 4096);
    EXPECT_EQ(camera.bufferBytes(), 8192);
    EXPECT_EQ(camera.bufferCount(), 2);

    // A frame beyond the transfer's sizes leaves no ring: capture cannot start.
    EXPECT_EQ(camera.SetGeometry(1 << 30, 0, 10, 4, 0, 4, 10), 7);
    EXPECT_EQ(camera.bufferCount(), 0);
    EXPECT_EQ(camera.StartCapture(), 7);
    EXPECT_FALSE(camera.isCapturing());
    std::vector<uint8_t> picture(64);
    EXPECT_EQ(camera.GetImage(picture.data(), 8, 8, 8), 7);

    // While capture runs the geometry stays as it is, and so does the sensor's window: frames keep the
    // layout the ring was made for.
    ASSERT_EQ(camera.SetWindow(0, 0, 320, 240, 0), 0);
    ASSERT_EQ(camera.StartCapture(), 0);
    EXPECT_EQ(camera.SetGeometry(1000, 0, 1000, 4, 0, 4, 2), 21);
    EXPECT_EQ(camera.activeWidth(), 320);
    EXPECT_EQ(camera.SetWindow(0, 0, 640, 480, 1), 21);
    EXPECT_EQ(camera.windowWidth(), 320);
    EXPECT_EQ(sim->registerValue(4), 319);
    EXPECT_EQ(sim->registerValue(34), 0);
    const uint64_t frames = sim->framesDelivered();
    EXPECT_TRUE(waitFor([&] { return sim->framesDelivered() > frames + 2; }));
    EXPECT_TRUE(camera.isCapturing());
    EXPECT_EQ(camera.StopCapture(), 0);
}

TEST_F(CameraFixture, Faults_FailedOrShortReadEndsWith19_LastGoodFrameKept_RestartWorks)
{
    sim->setMotion(false);
    CameraDevice camera;
    ASSERT_EQ(camera.SetWindow(0, 0, 320, 240, 0), 0);
    for (auto fault : {SimCamera::FrameFault::Fail, SimCamera::FrameFault::Short}) {
        sim->injectFrameFault(fault, 3);
        ASSERT_EQ(camera.StartCapture(), 0);
        ASSERT_TRUE(waitFor([&] { return !camera.isCapturing(); }));  // ended by itself

        // The broken frame is not handed out: the newest frame is the third good one.
        std::vector<uint8_t> picture(320 * 240);
        ASSERT_EQ(camera.IsFrameReady(), 1);
        ASSERT_EQ(camera.GetImage(picture.data(), 320, 240, 320), 0);
        EXPECT_FALSE(allZero(picture));
        EXPECT_EQ(camera.IsFrameReady(), 0);

        EXPECT_EQ(camera.StopCapture(), 19);
        EXPECT_EQ(camera.StopCapture(), 0);
        EXPECT_EQ(camera.StartCapture(), 0);
        EXPECT_TRUE(waitFor([&] { return camera.IsFrameReady() == 1; }));
        EXPECT_EQ(camera.StopCapture(), 0);
    }
}

TEST_F(CameraFixture, Faults_DeviceUnpluggedDuringCapture_Ends19_ThenNoHandle)
{
    CameraDevice camera;
    ASSERT_EQ(camera.SetWindow(0, 0, 320, 240, 0), 0);
    ASSERT_EQ(camera.StartCapture(), 0);
    ASSERT_TRUE(waitFor([&] { return camera.IsFrameReady() == 1; }));
    uninstallSimulatedCamera(0);
    ASSERT_TRUE(waitFor([&] { return !camera.isCapturing(); }));
    EXPECT_EQ(camera.StopCapture(), 19);

    // Gone for good: a new run cannot open the device.
    EXPECT_EQ(camera.StartCapture(), 0);
    ASSERT_TRUE(waitFor([&] { return !camera.isCapturing(); }));
    EXPECT_EQ(camera.StopCapture(), 0);
    EXPECT_EQ(camera.GetGlobalGain(), 0);
}

TEST_F(CameraFixture, Faults_FailedStartLeavesTheRingEmpty)
{
    CameraDevice camera;
    ASSERT_EQ(camera.SetWindow(0, 0, 320, 240, 0), 0);
    std::vector<uint8_t> picture(320 * 240);
    // Frames flow, and the run stops with newer frames than the last one taken still in the ring.
    const auto runAndStop = [&] {
        ASSERT_EQ(camera.StartCapture(), 0);
        ASSERT_TRUE(waitFor([&] { return camera.IsFrameReady() == 1; }));
        ASSERT_EQ(camera.GetImage(picture.data(), 320, 240, 320), 0);
        const uint64_t frames = sim->framesDelivered();
        ASSERT_TRUE(waitFor([&] { return sim->framesDelivered() > frames + 2; }));
        ASSERT_EQ(camera.StopCapture(), 0);
    };
    // After the failed start nothing is ready, and it stays so.
    const auto staysEmpty = [&](const char* what) {
        ASSERT_TRUE(waitFor([&] { return !camera.isCapturing(); })) << what;
        for (int i = 0; i < 20; ++i) {
            EXPECT_EQ(camera.IsFrameReady(), 0) << what;
            EXPECT_NE(camera.GetImage(picture.data(), 320, 240, 320), 0) << what;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        camera.StopCapture();
    };

    runAndStop();
    sim->setOpenFails(true);
    EXPECT_EQ(camera.StartCapture(), 0);
    staysEmpty("device does not open");
    sim->setOpenFails(false);

    runAndStop();
    sim->setCommandsFail(true);
    EXPECT_EQ(camera.StartCapture(), 0);
    staysEmpty("commands fail");
    sim->setCommandsFail(false);

    runAndStop();
    sim->injectFrameFault(SimCamera::FrameFault::Fail, 0);
    EXPECT_EQ(camera.StartCapture(), 0);
    staysEmpty("first frame read fails");

    runAndStop();
    ASSERT_EQ(camera.SetGeometry(1 << 30, 0, 10, 4, 0, 4, 10), CameraDevice::kNoMemory);
    EXPECT_EQ(camera.StartCapture(), CameraDevice::kNoMemory);
    staysEmpty("no ring");

    // A good start after all that delivers frames again.
    ASSERT_EQ(camera.SetWindow(0, 0, 320, 240, 0), 0);
    runAndStop();
}

namespace {

// A driver whose every frame is one byte value, the next for each frame: a copy that mixes values was
// written while it was copied.
class CountingDriver : public DeviceDriver {
public:
    std::atomic<uint32_t> frames{0};

    bool control(uint32_t code, const void*, uint32_t, void* out, uint32_t outSize, uint32_t& bytesReturned) override
    {
        if (code == 0x2220A9)
            std::memset(out, int(frames.fetch_add(1) & 0xFF), outSize);
        bytesReturned = outSize;
        return true;
    }
};

}  // namespace

TEST_F(CameraFixture, Capture_SmallRingUnderAFastWriter_ReaderNeverGetsATornFrame)
{
    // Three buffers and tiny frames as fast as the writer can go: any gap between the reader taking a buffer
    // and the writer choosing its next one lets the writer overwrite the buffer being copied.
    CameraDevice camera;
    auto driver = std::make_shared<CountingDriver>();
    DeviceIo::registerDevice(camera.devicePath(), driver);
    ASSERT_EQ(camera.SetGeometry(64, 0, 64, 4, 0, 4, 3), 0);
    ASSERT_EQ(camera.StartCapture(), 0);
    std::vector<uint8_t> picture(64 * 4);
    int taken = 0, torn = 0;
    // A second and a half of frames, and at least a hundred however busy the machine is.
    const auto start = std::chrono::steady_clock::now();
    const auto enough = [&] {
        const auto spent = std::chrono::steady_clock::now() - start;
        return (spent > std::chrono::milliseconds(1500) && taken > 100) || spent > std::chrono::minutes(2);
    };
    while (!enough() && torn == 0) {
        if (!camera.IsFrameReady())
            continue;
        ASSERT_EQ(camera.GetImage(picture.data(), 64, 4, 64), 0);
        ++taken;
        torn += std::any_of(picture.begin(), picture.end(), [&](uint8_t v) { return v != picture[0]; });
    }
    EXPECT_EQ(camera.StopCapture(), 0);
    EXPECT_EQ(torn, 0) << "of " << taken << " frames";
    EXPECT_GT(taken, 100);
}

namespace {

// A driver that holds each frame read until the test lets it go, filling the frame with its number.
class GatedDriver : public DeviceDriver {
public:
    std::mutex mutex;
    std::condition_variable changed;
    int allowed = 0, started = 0;

    bool control(uint32_t code, const void*, uint32_t, void* out, uint32_t outSize, uint32_t& bytesReturned) override
    {
        if (code == 0x2220A9) {
            std::unique_lock lock(mutex);
            const int frame = ++started;
            changed.notify_all();
            if (!changed.wait_for(lock, std::chrono::seconds(5), [&] { return allowed >= frame; }))
                return false;
            std::memset(out, frame, outSize);
        }
        bytesReturned = outSize;
        return true;
    }
    void allow(int frames)
    {
        std::lock_guard lock(mutex);
        allowed = frames;
        changed.notify_all();
    }
    bool waitStarted(int frames)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(2), [&] { return started >= frames; });
    }
};

}  // namespace

TEST_F(CameraFixture, GetImage_WithoutATakenFrame_LeavesTheBufferBeingFilledAlone)
{
    CameraDevice camera;
    auto driver = std::make_shared<GatedDriver>();
    DeviceIo::registerDevice(camera.devicePath(), driver);
    ASSERT_EQ(camera.SetGeometry(64, 0, 64, 4, 0, 4, 10), 0);
    std::vector<uint8_t> picture(64 * 4, 0xEE);

    // Just started: the writer is filling the buffer at the read index. Nothing to hand out.
    ASSERT_EQ(camera.StartCapture(), 0);
    ASSERT_TRUE(driver->waitStarted(1));
    EXPECT_EQ(camera.GetImage(picture.data(), 64, 4, 64), CameraDevice::kNoFrame);
    EXPECT_EQ(picture[0], 0xEE);

    // Frame 1 complete: taken and copied; a second copy without a new frame would read frame 2's buffer
    // while it is being filled.
    driver->allow(1);
    ASSERT_TRUE(driver->waitStarted(2));
    ASSERT_EQ(camera.IsFrameReady(), 1);
    EXPECT_EQ(camera.GetImage(picture.data(), 64, 4, 64), 0);
    EXPECT_EQ(picture[0], 1);
    EXPECT_EQ(camera.GetImage(picture.data(), 64, 4, 64), CameraDevice::kNoFrame);
    EXPECT_EQ(picture[0], 1);

    driver->allow(2);
    ASSERT_TRUE(driver->waitStarted(3));
    ASSERT_EQ(camera.IsFrameReady(), 1);
    EXPECT_EQ(camera.GetImage(picture.data(), 64, 4, 64), 0);
    EXPECT_EQ(picture[0], 2);
    driver->allow(INT_MAX);  // every further frame goes through, so the stop ends the run cleanly
    EXPECT_EQ(camera.StopCapture(), 0);
}

TEST_F(CameraFixture, Capture_AfterTheReaderStalls_TheFrameDeliveredIsTheLastCompleted)
{
    CameraDevice camera;
    auto driver = std::make_shared<GatedDriver>();
    DeviceIo::registerDevice(camera.devicePath(), driver);
    ASSERT_EQ(camera.SetGeometry(64, 0, 64, 4, 0, 4, 4), 0);
    std::vector<uint8_t> picture(64 * 4);
    ASSERT_EQ(camera.StartCapture(), 0);

    // Stalls of one frame up to more than two laps of the four buffers, the reader holding nothing.
    int completed = 0;
    for (int stall = 1; stall <= 9; ++stall) {
        completed += stall;
        driver->allow(completed);
        ASSERT_TRUE(driver->waitStarted(completed + 1));  // frame `completed` is published
        ASSERT_EQ(camera.IsFrameReady(), 1);
        ASSERT_EQ(camera.GetImage(picture.data(), 64, 4, 64), 0);
        EXPECT_EQ(picture[0], completed) << "after a stall of " << stall << " frames";
        EXPECT_EQ(camera.IsFrameReady(), 0);
    }

    // The reader takes a frame and stalls over a lap before asking again: it gets the newest.
    driver->allow(++completed);
    ASSERT_TRUE(driver->waitStarted(completed + 1));
    ASSERT_EQ(camera.IsFrameReady(), 1);
    completed += 6;
    driver->allow(completed);
    ASSERT_TRUE(driver->waitStarted(completed + 1));
    ASSERT_EQ(camera.IsFrameReady(), 1);
    ASSERT_EQ(camera.GetImage(picture.data(), 64, 4, 64), 0);
    EXPECT_EQ(picture[0], completed);
    driver->allow(INT_MAX);
    EXPECT_EQ(camera.StopCapture(), 0);
}
