// The live view under churn: LIVE stopped and started, every live setting changed, the view zoomed, panned
// and resized, in a seeded random order while frames flow. Nothing hangs, the live view still shows frames at
// the end and memory does not grow. NX_CHURN_ROUNDS sets the number of rounds (a short run by default; the
// long run is for a ThreadSanitizer build by hand), NX_CHURN_SEED the order.
#include <QByteArray>
#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <malloc.h>
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
#define NX_SANITIZER_HEAP 1
// The sanitizer runtime's count of the bytes the program holds (its header does not come with every compiler).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/SimulatedWindowTest.h"
#include "app/ViewerDlg.h"
#include "support/ResidentSet.h"

namespace {

int envNumber(const char* name, int fallback)
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue(name, &ok);
    return ok && n > 0 ? n : fallback;
}

constexpr int kDefaultRounds = 80;
constexpr int kDefaultSeed = 740;
// A round ends when two frames have been shown after its change. The bound counts turns of the event loop
// (each naps a millisecond), not the clock: a frame takes a few turns in a Release build and some hundreds
// under ThreadSanitizer on a loaded machine, so only a live view that has stopped for good runs out of them.
constexpr int kTurnsPerRound = 100000;
// What memory may grow by between the end of the warm-up and the end of the churn, both read in the same
// state of the window after the allocator has given back what it can. The warm-up has met the largest window,
// every zoom and every kernel, so every buffer has been made at its largest; what still moves is how the
// allocator's per-thread arenas are cut up (each start of LIVE makes a new display thread), a few megabytes.
// 16 MB is two view pictures of the largest window (6.4 MB each) and the frame images (1.2 MB); a leak of one
// frame image per round passes it within 15 rounds.
constexpr int64_t kMemorySlackBytes = 16 << 20;

class LiveChurnTest : public SimulatedWindowTest {
protected:
    using Random = std::mt19937;
    struct Action {
        const char* name;
        std::function<void(CViewerDlg&, Random&)> run;
    };

    static int pick(Random& rng, int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }

    static void turn()
    {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }

    // Runs the event loop until the live view has shown two frames after the change just made (the first
    // may have been under way before it); a stopped view only gets its events handled.
    static bool settle(CViewerDlg& dlg)
    {
        if (dlg.liveStopped()) {
            for (int i = 0; i < 3; ++i)
                turn();
            return true;
        }
        const uint64_t target = dlg.framesShown() + 2;
        for (int i = 0; i < kTurnsPerRound && dlg.framesShown() < target; ++i)
            turn();
        return dlg.framesShown() >= target;
    }

    // The same state before each reading of the memory: the largest window at fit with every kernel on and
    // the live view running, since the size of what is kept (view pictures, the window's backing store)
    // follows the window, the zoom and the kernels.
    static bool bringToReference(CViewerDlg& dlg)
    {
        if (dlg.liveStopped())
            dlg.OnLive();
        dlg.QDialog::resize(1600, 1000);
        dlg.SetZoom(0);
        dlg.settings().change([](ViewerSettings& s) {
            s.m_BayerFlg = 1;
            s.m_RGBFlg = s.m_YUVFlg = 0;
            s.Gamma = 150;
            s.m_HLS = { 10, 5, 5, 20, 30 };
            s.m_BinaryFlg = 1;
            s.m_AutoIrisFlg = 1;
            s.m_AutoIrisMode = 2;
        });
        return settle(dlg) && settle(dlg);
    }

    // The memory the program holds now. Normally what is resident once the allocator has given back the free
    // memory it can. Under a sanitizer the resident set also holds the sanitizer's shadow of every address the
    // heap has ever used and the history of every thread (each start of LIVE makes one), which grow for a
    // while whatever the program keeps (some 15 MB over the first hundred rounds): there the sanitizer's
    // allocator counts the bytes the program holds.
    static int64_t memoryNow()
    {
#if NX_SANITIZER_HEAP
        return int64_t(__sanitizer_get_current_allocated_bytes());
#else
        malloc_trim(0);
        return livetest::residentBytes();
#endif
    }

    // Every change a person can make to the running view, each with random values in the dialogs' ranges.
    static std::vector<Action> actions()
    {
        const auto edit = [](auto apply) {
            return [apply](CViewerDlg& dlg, Random& rng) {
                dlg.settings().change([&](ViewerSettings& s) { apply(s, rng); });
            };
        };
        return {
            { "live", [](CViewerDlg& dlg, Random&) { dlg.OnLive(); } },
            { "bayer", edit([](ViewerSettings& s, Random& rng) {
                 s.m_BayerFlg = pick(rng, 0, 1);
                 s.m_BayerMode = pick(rng, 0, 3);
             }) },
            { "colour gains", edit([](ViewerSettings& s, Random& rng) {
                 s.m_BayerR = pick(rng, 1, 200) / 100.0;
                 s.m_BayerG = pick(rng, 1, 200) / 100.0;
                 s.m_BayerB = pick(rng, 1, 200) / 100.0;
             }) },
            { "camera gains", edit([](ViewerSettings& s, Random& rng) {
                 s.GlovalGain = uint8_t(pick(rng, 4, 63));
                 s.ColorGainG1 = uint8_t(pick(rng, 0, 127));
                 s.ColorGainR = uint8_t(pick(rng, 0, 127));
                 s.ColorGainB = uint8_t(pick(rng, 0, 127));
                 s.ColorGainG2 = uint8_t(pick(rng, 0, 127));
                 s.Shutter = uint16_t(pick(rng, 1, 2000));
             }) },
            { "gamma", edit([](ViewerSettings& s, Random& rng) { s.Gamma = pick(rng, 1, 200); }) },
            { "contrast", edit([](ViewerSettings& s, Random& rng) { s.m_HLS.C = pick(rng, -127, 127); }) },
            { "sharpness", edit([](ViewerSettings& s, Random& rng) { s.m_HLS.SP = pick(rng, 0, 30); }) },
            { "hue, brightness, saturation", edit([](ViewerSettings& s, Random& rng) {
                 s.m_HLS.H = pick(rng, -360, 360);
                 s.m_HLS.L = pick(rng, -255, 255);
                 s.m_HLS.S = pick(rng, -255, 255);
             }) },
            { "binarisation", edit([](ViewerSettings& s, Random& rng) {
                 s.m_BinaryFlg = pick(rng, 0, 1);
                 s.m_Binary = pick(rng, 0, 255);
             }) },
            { "RGB or YUV data", edit([](ViewerSettings& s, Random& rng) {
                 const int data = pick(rng, 0, 2);
                 s.m_RGBFlg = data == 1;
                 s.m_YUVFlg = data == 2;
             }) },
            { "auto exposure", edit([](ViewerSettings& s, Random& rng) {
                 s.m_AutoIrisFlg = pick(rng, 0, 1);
                 s.m_AutoIrisMode = pick(rng, 0, 2);
             }) },
            { "white balance", edit([](ViewerSettings& s, Random& rng) { s.m_WB_Flg = pick(rng, 0, 1); }) },
            { "mirror", edit([](ViewerSettings& s, Random& rng) { s.MirrorV = pick(rng, 0, 1); }) },
            { "zoom", [](CViewerDlg& dlg, Random& rng) { dlg.SetZoom(pick(rng, 0, SettingsFile::kZoomEntries - 1)); } },
            { "pan", [](CViewerDlg& dlg, Random& rng) { dlg.ScrollTo(-pick(rng, 0, 2100), -pick(rng, 0, 1600)); } },
            { "resize",
                [](CViewerDlg& dlg, Random& rng) { dlg.QDialog::resize(pick(rng, 640, 1600), pick(rng, 480, 1000)); } },
        };
    }
};

} // namespace

TEST_F(LiveChurnTest, EveryChangeInRandomOrder_NoHangFramesGoOnMemoryFlat)
{
    const int rounds = envNumber("NX_CHURN_ROUNDS", kDefaultRounds);
    const int seed = envNumber("NX_CHURN_SEED", kDefaultSeed);
    m_Sim->setPaced(false);
    writeSettings();
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    ASSERT_TRUE(settle(dlg));
    const std::vector<Action> all = actions();
    Random rng { uint32_t(seed) };

    // Warm-up: every zoom at the largest window, then each change once, so every buffer has been made at its
    // largest before memory is measured.
    dlg.QDialog::resize(1600, 1000);
    for (int zoom = 0; zoom < SettingsFile::kZoomEntries; ++zoom) {
        dlg.SetZoom(zoom);
        ASSERT_TRUE(settle(dlg)) << "zoom " << zoom;
    }
    for (const Action& action : all) {
        action.run(dlg, rng);
        ASSERT_TRUE(settle(dlg)) << "warm-up: " << action.name;
    }
    ASSERT_TRUE(bringToReference(dlg));
    const int64_t memoryBefore = memoryNow();
    const int64_t rssBefore = livetest::residentBytes();

    for (int round = 0; round < rounds; ++round) {
        const Action& action = all[size_t(pick(rng, 0, int(all.size()) - 1))];
        action.run(dlg, rng);
        ASSERT_TRUE(settle(dlg)) << "round " << round << " (" << action.name << ", seed " << seed
                                 << "): no frame came within " << kTurnsPerRound << " turns of the event loop";
    }

    // The live view still runs: frames come and the view ends on the geometry asked for last.
    if (dlg.liveStopped())
        dlg.OnLive();
    ASSERT_TRUE(dlg.displayThreadRunning());
    const uint64_t shown = dlg.framesShown();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(settle(dlg));
    EXPECT_GE(dlg.framesShown(), shown + 6);
    EXPECT_TRUE(pumpUntil([&] { return dlg.shownGeometry() == dlg.viewGeometry(); }, kPatientMs));
    EXPECT_FALSE(dlg.shownPicture().image.isNull());

    ASSERT_TRUE(bringToReference(dlg));
    const int64_t memoryAfter = memoryNow();
    const int64_t rssAfter = livetest::residentBytes();
    std::printf("churn: %d rounds, seed %d: memory %.1f MB after the warm-up, %.1f MB at the end (resident set "
                "%.1f MB, %.1f MB)\n",
        rounds, seed, double(memoryBefore) / (1 << 20), double(memoryAfter) / (1 << 20), double(rssBefore) / (1 << 20),
        double(rssAfter) / (1 << 20));
    if (memoryBefore > 0) {
        EXPECT_LE(memoryAfter - memoryBefore, kMemorySlackBytes)
            << "memory " << (memoryBefore >> 20) << " MB after the warm-up, " << (memoryAfter >> 20) << " MB after "
            << rounds << " rounds";
    }
    dlg.done(0);
    EXPECT_FALSE(dlg.displayThreadRunning());
}
