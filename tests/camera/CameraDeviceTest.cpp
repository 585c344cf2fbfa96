// CameraDevice against the simulated driver: probing, the open sequence, the bytes of every command block,
// the register table, the capture window, gains, shutter, mirror and clock, and a missing camera.
#include <chrono>
#include <climits>
#include <cstring>

#include "CameraTestSupport.h"
#include "platform/DeviceIo.h"

using namespace camtest;

namespace {

using Strings = std::vector<std::string>;

Strings openSequence(bool reopen)
{
    Strings s = {"mode0", "init"};
    if (reopen)
        s.push_back("W13=0");
    s.push_back("sleep100");
    for (const char* write : {"W43=14", "W44=14", "W45=14", "W46=14", "W53=14", "W41=1", "W63=0", "W64=6", "W74=96",
                              "W78=12"}) {
        s.push_back(write);
        s.push_back("sleep30");
    }
    const Strings tail = {
        // Full window: skip registers read, transfer size, window registers, skip registers written.
        "R34", "reply", "reply", "R35", "reply", "reply", "size3780608", "W1=20", "W2=32", "W3=1535", "W4=2047",
        "W5=42", "W6=48", "W34=0", "W35=0",
        // Mirror off, then bit 8 of register 30 cleared.
        "R32", "reply", "reply", "W32=0", "R30", "reply", "reply", "W30=32768"};
    s.insert(s.end(), tail.begin(), tail.end());
    return s;
}

// The request the driver logged, checked whole: code, pipe and all 64 bytes.
void expectBlock(const SimCamera::Request& r, uint32_t code, uint32_t pipe, std::vector<uint8_t> head)
{
    EXPECT_EQ(r.code, code);
    EXPECT_EQ(r.pipe, pipe);
    std::array<uint8_t, 64> expected{};
    std::copy(head.begin(), head.end(), expected.begin());
    EXPECT_EQ(r.block, expected) << describe(r);
}

}  // namespace

TEST_F(CameraFixture, Probe_FindsInstalledIndices_FormatsPath)
{
    installSimulatedCamera(3);
    CameraDevice camera;
    EXPECT_EQ(camera.IsPresent(0), 1);
    EXPECT_EQ(camera.IsPresent(3), 1);
    for (int index : {1, 2, 4, 5, 6, 7, 8, -1})
        EXPECT_EQ(camera.IsPresent(index), 0) << index;
    EXPECT_STREQ(camera.devicePath(), "\\\\.\\VzmCapDev-0");
    EXPECT_EQ(DeviceIo::openHandles(camera.devicePath()), 0);  // no handle stays open between operations

    EXPECT_EQ(camera.SelectDevice(3), 0);
    EXPECT_STREQ(camera.devicePath(), "\\\\.\\VzmCapDev-3");
    EXPECT_EQ(camera.SelectDevice(9), 22);
    EXPECT_EQ(camera.SelectDevice(-1), 22);
    EXPECT_EQ(camera.Open(9), 22);

    // Probing again ends on index 0, path included: register traffic goes to the camera in use.
    camera.ProbeDevices();
    EXPECT_EQ(camera.currentIndex(), 0);
    EXPECT_STREQ(camera.devicePath(), "\\\\.\\VzmCapDev-0");
    EXPECT_EQ(camera.SetGlobalGain(33), 1);
    EXPECT_EQ(sim->registerValue(53), 33);
    uninstallSimulatedCamera(3);
}

TEST_F(CameraFixture, Open_SendsItsSequenceInOrder_WithSleeps_ReopenAlsoResetsRegister13)
{
    sim->setLogging(true);
    CameraDevice::setSleepHook(&recordSleep);
    CameraDevice camera;
    drainLog();
    EXPECT_EQ(trace(), openSequence(false));
    EXPECT_EQ(camera.windowWidth(), 2048);
    EXPECT_EQ(camera.windowHeight(), 1536);

    trace().clear();
    EXPECT_EQ(camera.SetClock(0), 1);
    drainLog();
    Strings expected = openSequence(true);
    expected.insert(expected.begin(), "clock0");
    EXPECT_EQ(trace(), expected);
}

TEST_F(CameraFixture, CommandBlocks_ExactBytesAsTheDriverReceivesThem)
{
    CameraDevice camera;
    sim->setLogging(true);

    camera.SetGlobalGain(200);
    camera.SetShutter(0xFFFF);
    uint16_t value = 0;
    camera.ReadRegister(9, &value);
    camera.SetTransferMode(1);
    camera.SendTransferSize();
    int on = 0;
    camera.GetClock(&on);
    camera.SetTransferMode(0);
    auto log = sim->takeLog();
    ASSERT_EQ(log.size(), 11u);
    expectBlock(log[0], 0x222051, 0, {4, 53, 0, 72});
    expectBlock(log[1], 0x222051, 0, {4, 9, 0x3F, 0xFF});
    expectBlock(log[2], 0x222051, 0, {12, 9});
    expectBlock(log[3], 0x22204E, 1, {});
    expectBlock(log[4], 0x22204E, 1, {});
    expectBlock(log[5], 0x222051, 0, {10, 1});
    expectBlock(log[6], 0x222051, 0, {9, 0x00, 0xB0, 0x39, 0x00});  // 3,780,608 little-endian
    expectBlock(log[7], 0x222051, 0, {0x24});
    expectBlock(log[8], 0x22204E, 1, {});
    expectBlock(log[9], 0x22204E, 1, {});
    expectBlock(log[10], 0x222051, 0, {10, 0});
    EXPECT_EQ(value, 0x3FFF);

    // The capture thread's frame request goes on the reply request with pipe 0, then the frame read.
    auto frame = grab(camera);
    log = sim->takeLog();
    ASSERT_GE(log.size(), 2u);
    expectBlock(log[0], 0x22204E, 0, {2});
    EXPECT_EQ(log[1].code, 0x2220A9u);
    EXPECT_EQ(log[1].pipe, 2u);

    camera.SetClock(1);
    log = sim->takeLog();
    ASSERT_FALSE(log.empty());
    expectBlock(log[0], 0x222051, 0, {0x23, 1});
}

TEST_F(CameraFixture, Registers_OnlyTableEntriesReachTheDevice)
{
    CameraDevice camera;
    sim->setLogging(true);

    uint16_t value = 77;
    EXPECT_EQ(camera.WriteRegister(10, 5), 0);
    EXPECT_EQ(camera.ReadRegister(10, &value), 0);
    EXPECT_EQ(value, 77);  // untouched
    EXPECT_EQ(camera.ReadRegister(300, &value), 0);
    EXPECT_EQ(camera.WriteRegister(-1, 5), 0);
    EXPECT_TRUE(sim->takeLog().empty());

    EXPECT_EQ(camera.registerInfo(98).defaultValue, 0x498);
    EXPECT_EQ(camera.registerInfo(98).readable, 1);
    EXPECT_EQ(camera.registerInfo(10).writable, 0);

    EXPECT_EQ(camera.WriteRegister(98, 0xBEEF), 1);
    EXPECT_EQ(sim->registerValue(98), 0xBEEF);
    EXPECT_EQ(camera.ReadRegister(98, &value), 1);
    EXPECT_EQ(value, 0xBEEF);
    EXPECT_EQ(camera.registerInfo(98).defaultValue, 0x498);  // a record, never updated
}

TEST_F(CameraFixture, Registers_FailedExchange_ValueZeroResultZero)
{
    CameraDevice camera;
    sim->setCommandsFail(true);
    uint16_t value = 77;
    EXPECT_EQ(camera.ReadRegister(9, &value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(camera.WriteRegister(9, 5), 0);
    EXPECT_EQ(camera.SetGlobalGain(5), 0);
    int on = 5;
    EXPECT_EQ(camera.GetClock(&on), 0);
    EXPECT_EQ(on, 0);
}

TEST_F(CameraFixture, Window_BoundsRefusedWithOne_NothingChanges)
{
    CameraDevice camera;
    EXPECT_EQ(camera.SetWindow(0, 0, 2048, 1536, 0), 0);
    camera.SetWindow(8, 6, 640, 480, 0);
    sim->setLogging(true);
    const struct {
        int x, y, w, h, skip;
    } refused[] = {{1, 0, 2048, 1536, 0}, {0, 0, 2048, 2, 0}, {0, 0, 3, 100, 0},  {-1, 0, 100, 100, 0},
                   {0, -1, 100, 100, 0}, {0, 1, 100, 1536, 0}, {0, 0, 100, 100, 4}, {0, 0, 100, 100, -1},
                   // Windows from settings files: sums that do not fit an int must not wrap into range.
                   {INT_MAX, 0, 100, 100, 0}, {0, INT_MAX - 50, 100, 100, 0}, {0, 0, INT_MAX, 100, 0},
                   {100, 0, INT_MAX - 50, 100, 0},
                   // Skipping would leave no pixels: 7 / 8 and 3 / 4 are 0.
                   {0, 0, 7, 100, 3}, {0, 0, 100, 3, 2}};
    for (const auto& r : refused)
        EXPECT_EQ(camera.SetWindow(r.x, r.y, r.w, r.h, r.skip), 1) << r.x << "," << r.y << " " << r.w << "x" << r.h;
    EXPECT_TRUE(sim->takeLog().empty());
    EXPECT_EQ(camera.windowX(), 8);
    EXPECT_EQ(camera.windowWidth(), 640);
    EXPECT_EQ(camera.activeWidth(), 640);
}

TEST_F(CameraFixture, Window_GeometryRegistersAndSkipModes)
{
    CameraDevice camera;
    EXPECT_EQ(camera.transferLength(), 3780608);
    EXPECT_EQ(camera.bufferBytes(), 7561216);
    EXPECT_EQ(camera.bufferCount(), 10);

    // Bits 4-5 of the skip registers are cleared, the pattern bits set, the rest kept.
    camera.WriteRegister(34, 0x0136);
    camera.WriteRegister(35, 0x0030);
    EXPECT_EQ(camera.SetWindow(0, 0, 2048, 1536, 1), 0);
    EXPECT_EQ(camera.activeWidth(), 1024);
    EXPECT_EQ(camera.lineLength(), 1437);
    EXPECT_EQ(camera.horizontalOffset(), 396);
    EXPECT_EQ(camera.lines(), 788);
    EXPECT_EQ(camera.activeHeight(), 768);
    EXPECT_EQ(camera.transferLength(), 1103872);
    EXPECT_EQ(sim->transferSize(), 1103872u);
    EXPECT_EQ(sim->registerValue(34), 0x0101);
    EXPECT_EQ(sim->registerValue(35), 0x0001);

    EXPECT_EQ(camera.SetWindow(100, 50, 641, 481, 2), 0);
    EXPECT_EQ(sim->registerValue(1), 70);
    EXPECT_EQ(sim->registerValue(2), 132);
    EXPECT_EQ(sim->registerValue(3), 480);
    EXPECT_EQ(sim->registerValue(4), 640);
    EXPECT_EQ(sim->registerValue(5), 42);
    EXPECT_EQ(sim->registerValue(6), 48);
    EXPECT_EQ(sim->registerValue(34), 0x0103);
    EXPECT_EQ(camera.activeWidth(), 160);
    EXPECT_EQ(camera.activeHeight(), 120);

    EXPECT_EQ(camera.SetWindow(0, 0, 2048, 1536, 3), 0);
    EXPECT_EQ(sim->registerValue(35), 0x0007);
    EXPECT_EQ(camera.activeWidth(), 256);
    EXPECT_EQ(camera.SetWindow(0, 0, 2048, 1536, 0), 0);
    EXPECT_EQ(sim->registerValue(34), 0x0100);
}

TEST_F(CameraFixture, Mirror_CompanionBitFollowsWindowHeight)
{
    CameraDevice camera;
    camera.WriteRegister(32, 0x0101);
    camera.SetWindow(0, 0, 640, 481, 0);
    camera.SetMirror(1);
    EXPECT_EQ(sim->registerValue(32), 0x8101);  // odd height: bit 7 clear
    camera.SetWindow(0, 0, 640, 480, 0);
    camera.SetMirror(1);
    EXPECT_EQ(sim->registerValue(32), 0x8181);
    camera.SetMirror(0);
    EXPECT_EQ(sim->registerValue(32), 0x0101);
}

TEST_F(CameraFixture, GainsAndShutter_MasksRangesAndRegisters)
{
    CameraDevice camera;
    EXPECT_EQ(camera.SetGlobalGain(200), 1);
    EXPECT_EQ(sim->registerValue(53), 72);
    EXPECT_EQ(camera.GetGlobalGain(), 72);
    EXPECT_EQ(camera.GetGlobalGainMin(), 0);
    EXPECT_EQ(camera.GetGlobalGainMax(), 127);

    // Colour gains are written as given and read back to 7 bits.
    const int regs[] = {CameraDevice::kRegGreen1Gain, CameraDevice::kRegRedGain, CameraDevice::kRegBlueGain,
                        CameraDevice::kRegGreen2Gain};
    for (int reg : regs) {
        EXPECT_EQ(camera.SetColorGain(reg, uint8_t(150 + reg)), 1);
        EXPECT_EQ(sim->registerValue(reg), 150 + reg);
        uint8_t gain = 0, low = 9, high = 0;
        EXPECT_EQ(camera.GetColorGain(reg, &gain), 1);
        EXPECT_EQ(gain, (150 + reg) & 0x7F);
        EXPECT_EQ(camera.GetColorGainMin(reg, &low), 1);
        EXPECT_EQ(camera.GetColorGainMax(reg, &high), 1);
        EXPECT_EQ(low, 0);
        EXPECT_EQ(high, 127);
    }
    sim->setLogging(true);
    uint8_t gain = 5;
    EXPECT_EQ(camera.SetColorGain(42, 1), 0);
    EXPECT_EQ(camera.SetColorGain(53, 1), 0);
    EXPECT_EQ(camera.GetColorGain(47, &gain), 0);
    EXPECT_EQ(camera.GetColorGainMax(47, &gain), 0);
    EXPECT_EQ(gain, 5);
    EXPECT_TRUE(sim->takeLog().empty());

    EXPECT_EQ(camera.SetShutter(0xFFFF), 1);
    EXPECT_EQ(sim->registerValue(9), 0x3FFF);
    uint16_t shutter = 0;
    EXPECT_EQ(camera.GetShutter(&shutter), 1);
    EXPECT_EQ(shutter, 16383);
    EXPECT_EQ(camera.GetShutterMin(), 0);
    EXPECT_EQ(camera.GetShutterMax(), 16383);
}

TEST_F(CameraFixture, Clock_SetReopensToFullWindowMirrorOff)
{
    CameraDevice camera;
    int on = 5;
    EXPECT_EQ(camera.GetClock(&on), 1);
    EXPECT_EQ(on, 0);
    camera.SetWindow(16, 16, 640, 480, 1);
    camera.SetMirror(1);
    camera.SetGlobalGain(40);

    EXPECT_EQ(camera.SetClock(1), 1);
    EXPECT_TRUE(sim->halfClock());
    EXPECT_EQ(camera.GetClock(&on), 1);
    EXPECT_EQ(on, 1);
    EXPECT_EQ(camera.windowWidth(), 2048);
    EXPECT_EQ(camera.activeWidth(), 2048);
    EXPECT_EQ(sim->registerValue(32) & 0x8080, 0);
    EXPECT_EQ(sim->registerValue(53), 14);
    EXPECT_EQ(sim->registerValue(30), 0x8000);
}

TEST_F(CameraFixture, NoCamera_EverythingFailsQuietly_CaptureNeverReady_StopAtOnce)
{
    uninstallSimulatedCamera(0);
    CameraDevice camera;
    EXPECT_EQ(camera.IsPresent(0), 0);
    uint16_t value = 77;
    EXPECT_EQ(camera.ReadRegister(9, &value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(camera.SetGlobalGain(10), 0);
    EXPECT_EQ(camera.GetGlobalGain(), 0);
    int on = 1;
    EXPECT_EQ(camera.GetClock(&on), 0);
    EXPECT_EQ(camera.SetClock(1), 0);
    EXPECT_EQ(camera.SetWindow(0, 0, 640, 480, 0), 0);

    EXPECT_EQ(camera.StartCapture(), 0);
    EXPECT_TRUE(waitFor([&] { return !camera.isCapturing(); }));  // ended by itself: no device
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(camera.IsFrameReady(), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(camera.StopCapture(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(camera.StartCapture(), 0);  // and again: the ended thread is collected
    EXPECT_TRUE(waitFor([&] { return !camera.isCapturing(); }));
    EXPECT_EQ(camera.StopCapture(), 0);
}
