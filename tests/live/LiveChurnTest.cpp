// The live view under churn: stopped and started, every live setting changed, the view zoomed, panned and
// resized, in a seeded random order while frames flow. Nothing hangs, the live view still shows frames at
// the end and memory does not grow. NX_CHURN_ROUNDS sets the number of rounds (a short run by default; the
// long run is for a ThreadSanitizer build by hand), NX_CHURN_SEED the order.
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

#include "camera/OwnCameraSource.h"
#include "live/LiveView.h"
#include "platform/Clock.h"
#include "platform/simcam/SimCamera.h"
#include "support/LiveWindowSupport.h"
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
// A round ends when two frames have been shown after its change. The bound counts turns of the waiting loop
// (each naps a millisecond), not the clock: a frame takes a few turns in a Release build and some hundreds
// under ThreadSanitizer on a loaded machine, so only a live view that has stopped for good runs out of them.
constexpr int kTurnsPerRound = 100000;
// What memory may grow by between the end of the warm-up and the end of the churn, both read in the same
// state of the view after the allocator has given back what it can. The warm-up has met the largest window,
// every zoom and every kernel, so every buffer has been made at its largest; what still moves is how the
// allocator's per-thread arenas are cut up (each start of LIVE makes a new display thread), a few megabytes.
// 16 MB is two view pictures of the largest view (6.4 MB each) and the frame images (1.2 MB); a leak of one
// frame image per round passes it within 15 rounds.
constexpr int64_t kMemorySlackBytes = 16 << 20;

// The largest view the window gives the picture.
constexpr Rect kLargestView { 10, 10, 1400, 900 };

class LiveChurnTest : public livetest::SimulatedCameraTest {
protected:
    using Random = std::mt19937;
    struct Action {
        const char* name;
        std::function<void(LiveChurnTest&, Random&)> run;
    };

    static int pick(Random& rng, int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }

    // The user-interface thread's part of a turn: the heartbeat, and the pictures the view publishes.
    void turn()
    {
        m_View.heartbeat(timeGetTime());
        m_View.refreshShown();
        QThread::msleep(1);
    }

    // Turns until the live view has shown two frames after the change just made (the first may have been
    // under way before it); a stopped view has nothing to wait for.
    bool settle()
    {
        if (!m_View.running())
            return true;
        const uint64_t target = m_View.framesShown() + 2;
        for (int i = 0; i < kTurnsPerRound && m_View.framesShown() < target; ++i)
            turn();
        return m_View.framesShown() >= target;
    }

    void toggleLive()
    {
        if (m_View.running())
            m_View.stop();
        else
            m_View.start();
    }
    void setZoom(int zoom)
    {
        const ViewGeometry g = m_View.viewGeometry();
        m_Settings.setView(g.view, zoom, g.baiX, g.baiY);
    }

    // The same state before each reading of the memory: the largest window at fit with every kernel on and
    // the live view running, since the size of what is kept (view pictures, the window's backing store)
    // follows the view, the zoom and the kernels.
    bool bringToReference()
    {
        if (!m_View.running())
            m_View.start();
        m_Settings.setView(kLargestView, 0, 0, 0);
        m_Settings.change([](ViewerSettings& s) {
            s.m_BayerFlg = 1;
            s.m_RGBFlg = s.m_YUVFlg = 0;
            s.Gamma = 150;
            s.m_HLS = { 10, 5, 5, 20, 30 };
            s.m_BinaryFlg = 1;
            s.m_AutoIrisFlg = 1;
            s.m_AutoIrisMode = 2;
        });
        return settle() && settle();
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
            return [apply](LiveChurnTest& t, Random& rng) {
                t.m_Settings.change([&](ViewerSettings& s) { apply(s, rng); });
            };
        };
        return {
            { "live", [](LiveChurnTest& t, Random&) { t.toggleLive(); } },
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
            { "RGB or YUV data", [](LiveChurnTest& t, Random& rng) {
                 const int data = pick(rng, 0, 2);
                 t.m_Settings.change([data](ViewerSettings& s) {
                     s.m_RGBFlg = data == 1;
                     s.m_YUVFlg = data == 2;
                 });
                 t.m_View.recreateColorImage();
             } },
            { "auto exposure", edit([](ViewerSettings& s, Random& rng) {
                 s.m_AutoIrisFlg = pick(rng, 0, 1);
                 s.m_AutoIrisMode = pick(rng, 0, 2);
             }) },
            { "white balance", [](LiveChurnTest& t, Random&) { t.m_View.toggleWhiteBalance(); } },
            { "mirror", edit([](ViewerSettings& s, Random& rng) { s.MirrorV = pick(rng, 0, 1); }) },
            { "zoom", [](LiveChurnTest& t, Random& rng) { t.setZoom(pick(rng, 0, SettingsFile::kZoomEntries - 1)); } },
            { "pan", [](LiveChurnTest& t, Random& rng) { t.m_Settings.setScroll(-pick(rng, 0, 2100), -pick(rng, 0, 1600)); } },
            { "resize",
                [](LiveChurnTest& t, Random& rng) {
                    const ViewGeometry g = t.m_View.viewGeometry();
                    t.m_Settings.setView({ 10, 10, pick(rng, 400, kLargestView.right), pick(rng, 300, kLargestView.bottom) },
                                         g.zoomIndex, g.baiX, g.baiY);
                } },
        };
    }

    LiveSettings m_Settings;
    LiveView m_View { m_Settings };
};

} // namespace

TEST_F(LiveChurnTest, EveryChangeInRandomOrder_NoHangFramesGoOnMemoryFlat)
{
    const int rounds = envNumber("NX_CHURN_ROUNDS", kDefaultRounds);
    const int seed = envNumber("NX_CHURN_SEED", kDefaultSeed);
    m_Sim->setPaced(false);
    m_Settings.change([](ViewerSettings& s) { s.EH = 640, s.EV = 480, s.EHS = 704, s.EVS = 528; });
    m_Settings.setView(kLargestView, 1, 0, 0);
    m_View.setSource(std::make_unique<OwnCameraSource>());
    m_View.start();
    ASSERT_TRUE(settle());
    const std::vector<Action> all = actions();
    Random rng { uint32_t(seed) };

    // Warm-up: every zoom at the largest view, then each change once, so every buffer has been made at its
    // largest before memory is measured.
    for (int zoom = 0; zoom < SettingsFile::kZoomEntries; ++zoom) {
        setZoom(zoom);
        ASSERT_TRUE(settle()) << "zoom " << zoom;
    }
    for (const Action& action : all) {
        action.run(*this, rng);
        ASSERT_TRUE(settle()) << "warm-up: " << action.name;
    }
    ASSERT_TRUE(bringToReference());
    const int64_t memoryBefore = memoryNow();
    const int64_t rssBefore = livetest::residentBytes();

    for (int round = 0; round < rounds; ++round) {
        const Action& action = all[size_t(pick(rng, 0, int(all.size()) - 1))];
        action.run(*this, rng);
        ASSERT_TRUE(settle()) << "round " << round << " (" << action.name << ", seed " << seed
                              << "): no frame came within " << kTurnsPerRound << " turns";
    }

    // The live view still runs: frames come and the view ends on the geometry asked for last.
    if (!m_View.running())
        m_View.start();
    const uint64_t shown = m_View.framesShown();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(settle());
    EXPECT_GE(m_View.framesShown(), shown + 6);
    for (int i = 0; i < kTurnsPerRound && m_View.shownPicture().geometry != m_View.viewGeometry(); ++i)
        turn();
    EXPECT_EQ(m_View.shownPicture().geometry, m_View.viewGeometry());
    EXPECT_FALSE(m_View.shownPicture().image.isNull());

    ASSERT_TRUE(bringToReference());
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
    m_View.stop();
    EXPECT_FALSE(m_View.running());
}
