// The own camera as a live source: the stored settings at start, the frames and what they are, its controls
// and their ranges, and its faults: a broken frame is skipped, a vanished camera is reported once and opened
// afresh at the next start, a camera that only fails is given up after a few runs.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <thread>

#include "camera/CameraDevice.h"
#include "camera/OwnCameraSource.h"
#include "imaging/DibImage.h"
#include "support/LiveWindowSupport.h"

namespace {

using Control = LiveSource::Control;
using FrameState = LiveSource::FrameState;

class OwnCameraSourceTest : public livetest::SimulatedCameraTest {
protected:
    static LiveSource::StartSettings smallWindow()
    {
        LiveSource::StartSettings s;
        s.x = 704, s.y = 528, s.width = 640, s.height = 480;
        return s;
    }

    // Asks for frames as the display loop does (napping in between) until want comes or ms have passed;
    // a frame announced is copied. Returns the last state seen.
    static FrameState askUntil(LiveSource& source, FrameState want, DibImage& frame, int ms = 10000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        FrameState state = FrameState::None;
        while (std::chrono::steady_clock::now() < end) {
            state = source.nextFrame();
            if (state == FrameState::Ready) {
                EXPECT_EQ(source.getFrame(frame), LiveSource::kOk);
            }
            if (state == want)
                return state;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return state;
    }

    // Frames copied, up to count, within ms.
    static int frames(LiveSource& source, DibImage& frame, int count, int ms = 10000)
    {
        int got = 0;
        while (got < count && askUntil(source, FrameState::Ready, frame, ms) == FrameState::Ready)
            ++got;
        return got;
    }

    // Starts source on the small window and takes its first frame into frame.
    static void startWithAFrame(LiveSource& source, DibImage& frame)
    {
        ASSERT_TRUE(source.prepare(smallWindow()));
        ASSERT_EQ(source.start(smallWindow()), LiveSource::kOk);
        ASSERT_TRUE(frame.Create(640, 480, 8));
        ASSERT_EQ(frames(source, frame, 1), 1);
    }
};

} // namespace

TEST_F(OwnCameraSourceTest, Start_StoredWindowAndRegisters_FramesAreTheWindowsMosaic)
{
    CameraDevice camera;
    OwnCameraSource source(camera);
    EXPECT_EQ(source.ownCamera(), &camera);
    EXPECT_TRUE(source.keepsControlsInSettings());
    LiveSource::StartSettings s = smallWindow();
    s.gain = 20, s.green1 = 21, s.red = 22, s.blue = 23, s.green2 = 24, s.exposure = 700, s.mirror = 0;
    ASSERT_TRUE(source.prepare(s));
    const LiveSource::FrameFormat f = source.format();
    EXPECT_EQ(f.width, 640);
    EXPECT_EQ(f.height, 480);
    EXPECT_EQ(f.pixels, LiveSource::Pixels::Mosaic);
    EXPECT_EQ(f.bayerMode, -1); // the user's phase stands
    EXPECT_EQ(f.bitsPerPixel(), 8);
    ASSERT_EQ(source.start(s), LiveSource::kOk);
    EXPECT_TRUE(source.isCapturing());
    EXPECT_EQ(m_Sim->registerValue(CameraDevice::kRegGlobalGain), 20);
    EXPECT_EQ(m_Sim->registerValue(CameraDevice::kRegGreen1Gain), 21);
    EXPECT_EQ(m_Sim->registerValue(CameraDevice::kRegRedGain), 22);
    EXPECT_EQ(m_Sim->registerValue(CameraDevice::kRegBlueGain), 23);
    EXPECT_EQ(m_Sim->registerValue(CameraDevice::kRegGreen2Gain), 24);
    EXPECT_EQ(m_Sim->registerValue(CameraDevice::kRegShutter), 700);
    EXPECT_EQ(m_Sim->registerValue(CameraDevice::kRegMirror) & 0x8000, 0);

    DibImage frame;
    ASSERT_TRUE(frame.Create(f.width, f.height, 8));
    EXPECT_EQ(frames(source, frame, 2), 2);
    // A colour destination does not fit the mosaic: refused, not overrun.
    DibImage colour;
    ASSERT_TRUE(colour.Create(f.width, f.height, 24));
    EXPECT_EQ(source.getFrame(colour), LiveSource::kNullBuffer);

    source.stop();
    EXPECT_FALSE(source.isCapturing());
    if (source.nextFrame() == FrameState::Ready) // the last frame completed before the stop may still wait
        source.getFrame(frame);
    EXPECT_EQ(source.nextFrame(), FrameState::None); // stopped: nothing more, and nothing restarted
    EXPECT_FALSE(source.isCapturing());
}

TEST_F(OwnCameraSourceTest, Controls_RangesOfTheSensor_HeldToThem_AbsentOnesRefused)
{
    CameraDevice camera;
    OwnCameraSource source(camera);
    for (Control c : { Control::Gain, Control::Green1, Control::Red, Control::Blue, Control::Green2 }) {
        const LiveSource::ControlRange r = source.range(c);
        EXPECT_TRUE(r.present);
        EXPECT_EQ(r.min, 0);
        EXPECT_EQ(r.max, 127);
    }
    EXPECT_EQ(source.range(Control::Exposure).max, 0x3FFF);
    EXPECT_EQ(source.range(Control::Mirror).max, 1);
    for (Control c : { Control::WhiteBalance, Control::Brightness, Control::Contrast, Control::AutoExposure,
             Control::AutoWhiteBalance, Control::AutoGain }) {
        EXPECT_FALSE(source.range(c).present);
        int32_t v = 7;
        EXPECT_FALSE(source.getControl(c, &v));
        EXPECT_EQ(v, 7);
        EXPECT_FALSE(source.setControl(c, 1));
    }

    // Held to the range: no register gets a masked value (200 is not 72, 20000 is no short exposure).
    EXPECT_TRUE(source.setControl(Control::Gain, 200));
    EXPECT_EQ(m_Sim->registerValue(CameraDevice::kRegGlobalGain), 127);
    EXPECT_TRUE(source.setControl(Control::Exposure, 20000));
    EXPECT_EQ(m_Sim->registerValue(CameraDevice::kRegShutter), 0x3FFF);
    EXPECT_TRUE(source.setControl(Control::Red, -5));
    EXPECT_EQ(m_Sim->registerValue(CameraDevice::kRegRedGain), 0);
    EXPECT_TRUE(source.setControl(Control::Mirror, 1));
    int32_t v = 0;
    EXPECT_TRUE(source.getControl(Control::Mirror, &v));
    EXPECT_EQ(v, 1);
    EXPECT_TRUE(source.getControl(Control::Exposure, &v));
    EXPECT_EQ(v, 0x3FFF);

    // A failed exchange is no value.
    m_Sim->setCommandsFail(true);
    v = 5;
    EXPECT_FALSE(source.getControl(Control::Gain, &v));
    EXPECT_EQ(v, 5);
    EXPECT_FALSE(source.setControl(Control::Gain, 10));
}

TEST_F(OwnCameraSourceTest, Faults_ShortAndFailedReadsAreSkipped_LiveGoesOn)
{
    CameraDevice camera;
    OwnCameraSource source(camera);
    DibImage frame;
    ASSERT_NO_FATAL_FAILURE(startWithAFrame(source, frame));
    for (SimCamera::FrameFault fault : { SimCamera::FrameFault::Short, SimCamera::FrameFault::Fail }) {
        const int before = source.restarts();
        m_Sim->injectFrameFault(fault, 1);
        // Frames keep coming after the broken one, never a loss reported.
        EXPECT_EQ(frames(source, frame, 4), 4);
        EXPECT_EQ(source.restarts(), before + 1);
        EXPECT_TRUE(source.isCapturing());
    }
}

TEST_F(OwnCameraSourceTest, Faults_VanishedIsGoneOnce_BackAgainAfterTheNextStart)
{
    CameraDevice camera;
    OwnCameraSource source(camera);
    DibImage frame;
    ASSERT_NO_FATAL_FAILURE(startWithAFrame(source, frame));

    uninstallSimulatedCamera();
    EXPECT_EQ(askUntil(source, FrameState::Gone, frame), FrameState::Gone);
    EXPECT_FALSE(source.isCapturing());
    EXPECT_EQ(source.nextFrame(), FrameState::Gone); // it stays so, without trying again
    EXPECT_FALSE(source.isCapturing());
    EXPECT_FALSE(source.prepare(smallWindow())); // still unplugged: nothing to start
    EXPECT_EQ(source.start(smallWindow()), LiveSource::kNoHandle);

    // Plugged in again: a fresh camera, opened afresh (the open sequence sets the sensor's gains).
    m_Sim = installSimulatedCamera();
    ASSERT_TRUE(source.prepare(smallWindow()));
    EXPECT_EQ(m_Sim->readout().width, 640); // the window was set on the new camera
    ASSERT_EQ(source.start(smallWindow()), LiveSource::kOk);
    EXPECT_EQ(frames(source, frame, 2), 2);
}

TEST_F(OwnCameraSourceTest, Faults_AbsentAtFirst_FoundWhenPluggedIn)
{
    uninstallSimulatedCamera();
    CameraDevice camera;
    OwnCameraSource source(camera);
    EXPECT_FALSE(source.prepare(smallWindow()));
    EXPECT_EQ(source.format().width, 0);
    m_Sim = installSimulatedCamera();
    ASSERT_TRUE(source.prepare(smallWindow()));
    EXPECT_EQ(source.format().width, 640);
    ASSERT_EQ(source.start(smallWindow()), LiveSource::kOk);
    DibImage frame;
    ASSERT_TRUE(frame.Create(640, 480, 8));
    EXPECT_EQ(frames(source, frame, 1), 1);
}

TEST_F(OwnCameraSourceTest, Faults_ACameraThatOnlyFails_IsTriedLessOften_GoesOnWhenItAnswers)
{
    CameraDevice camera;
    OwnCameraSource source(camera);
    DibImage frame;
    ASSERT_NO_FATAL_FAILURE(startWithAFrame(source, frame));
    // The device still opens, but no frame request is answered: each run ends at once.
    m_Sim->setCommandsFail(true);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(askUntil(source, FrameState::Gone, frame, 1200), FrameState::None); // not gone: it still opens
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // A few quick runs, then one every half second at most.
    EXPECT_LE(source.restarts(), OwnCameraSource::kQuickRestarts + 1 + int(seconds * 1000 / OwnCameraSource::kRetryMs));
    EXPECT_GE(source.restarts(), OwnCameraSource::kQuickRestarts);
    m_Sim->setCommandsFail(false);
    EXPECT_EQ(frames(source, frame, 2), 2);
}

TEST(NextControlValue, ScaledHeldToTheRange_BrighterAlwaysMoves)
{
    const LiveSource::ControlRange gain { true, 0, 100, 1, 10 };
    EXPECT_EQ(NextControlValue(40, 1.5, gain), 60);
    EXPECT_EQ(NextControlValue(40, 0.5, gain), 20);
    EXPECT_EQ(NextControlValue(90, 2.0, gain), 100);
    EXPECT_EQ(NextControlValue(1, 1.2, gain), 2); // 1.2 rounds back to 1: one step up instead
    EXPECT_EQ(NextControlValue(100, 1.5, gain), 100);
    const LiveSource::ControlRange exposure { true, 3, 2047, 1, 250 };
    EXPECT_EQ(NextControlValue(4, 0.1, exposure), 3);
    EXPECT_EQ(NextControlValue(1000, std::numeric_limits<double>::infinity(), exposure), 1000);
    EXPECT_EQ(NextControlValue(50, 2.0, LiveSource::ControlRange {}), 50); // absent: left alone
}
