// The live view's shared state: settings changed and the view panned and zoomed from other threads while frames
// flow, each composed picture made from one snapshot and published with the geometry that composed it, and a
// pan shown from the last frame when frames stall.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/SimulatedWindowTest.h"
#include "app/ViewerDlg.h"
#include "imaging/ViewComposer.h"
#include "platform/simcam/SimCamera.h"

namespace {

class LiveStateTest : public SimulatedWindowTest {
protected:
    void SetUp() override
    {
        SimulatedWindowTest::SetUp();
        writeSettings();
    }

    // What the view should show now: the current frame composed with the geometry shown.
    static QImage expectedView(CViewerDlg& dlg)
    {
        ViewComposer composer;
        QImage view;
        const auto lock = dlg.lockFrames();
        composer.Compose(dlg.PictureInUse(), dlg.shownGeometry(), view);
        return view;
    }
};

// Four whole settings states the writer cycles through; each turns a different set of kernels on.
void applyState(ViewerSettings& s, int k)
{
    struct State {
        int bayer, mode, binary, threshold, gamma;
        double r, b;
        HlsData hls;
    };
    static const State states[] = {
        { 0, 0, 1, 100, 100, 1.0, 1.0, {} },
        { 1, 0, 0, 128, 140, 1.8, 0.4, { 10, 5, 10, 20, 30 } },
        { 0, 0, 0, 128, 70, 1.0, 1.0, { 0, 0, 0, 25, 40 } },
        { 1, 2, 1, 150, 100, 0.6, 1.5, { 20, 0, 0, 0, 0 } },
    };
    const State& st = states[k];
    s.m_BayerFlg = st.bayer;
    s.m_BayerMode = st.mode;
    s.m_BinaryFlg = st.binary;
    s.m_Binary = st.threshold;
    s.Gamma = st.gamma;
    s.m_BayerR = st.r;
    s.m_BayerB = st.b;
    s.m_HLS = st.hls;
    // Auto exposure measures only (mode 2): the scene, and so every frame, stays the same.
    s.m_AutoIrisFlg = k % 2;
    s.m_AutoIrisMode = 2;
}
constexpr int kStates = 4;

} // namespace

// While one thread cycles the settings through four states and another pans and zooms, every picture the
// window shows is the frame processed with one of the states and composed with one of the views.
TEST_F(LiveStateTest, SettingsAndViewChangedFromOtherThreads_EveryPictureIsOneSnapshot)
{
    m_Sim->setPaced(false);
    m_Sim->setNoise(false);
    m_Sim->setMotion(false);
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 2; }, 10000));

    // The frame, the same every time, and what each state makes of it.
    DibImage raw;
    {
        const auto lock = dlg.lockFrames();
        raw.CreateLike(&dlg.rawImage());
        raw.Blit(dlg.rawImage(), nullptr, 0, 0);
    }
    DibImage processed[kStates][2]; // the raw frame after the chain, and the colour image
    FrameProcessor chain;
    const DibImage* shownOf[kStates];
    for (int k = 0; k < kStates; ++k) {
        ViewerSettings s;
        applyState(s, k);
        processed[k][0].CreateLike(&raw);
        processed[k][0].Blit(raw, nullptr, 0, 0);
        processed[k][1].Create(raw.width(), raw.height(), 24);
        shownOf[k] = &chain.Process(processed[k][0], processed[k][1], ProcessSettingsOf(s));
    }

    // At least 1,000 changes each, and on until the window has shown 50 pictures made under them (a slow
    // machine or a sanitizer build shows fewer frames a second).
    constexpr int kChanges = 1000, kPictures = 50;
    std::atomic<bool> settingsDone { false }, viewDone { false }, enoughSeen { false };
    const auto goOn = [&](int i) { return i < kChanges || (!enoughSeen && i < 1000 * kChanges); };
    std::thread settings([&] {
        for (int i = 0; goOn(i); ++i) {
            dlg.settings().change([i](ViewerSettings& s) { applyState(s, i % kStates); });
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        settingsDone = true;
    });
    // Zoom and scroll: a view width that names its zoom, and equal odd offsets, so a geometry put together
    // from two changes shows.
    std::thread view([&] {
        for (int i = 0; goOn(i); ++i) {
            const int zoom = i % 6;
            const double scroll = -(2 * (i % 50) + 1);
            dlg.settings().setView({ 10, 10, 10 + 301 + 10 * zoom, 10 + 240 }, zoom, scroll, scroll);
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        viewDone = true;
    });

    int checked = 0, mixed = 0, torn = 0;
    ViewComposer composer;
    QImage expected;
    qint64 lastKey = 0;
    QElapsedTimer t;
    t.start();
    // Until both writers are through, the UI thread looks at every new picture it shows.
    while (t.elapsed() < 120000 && !(settingsDone && viewDone)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const ViewPicture& shown = dlg.shownPicture();
        const ViewGeometry& g = shown.geometry;
        // Pictures of the start-up layout come before the first change of the view.
        if (shown.image.isNull() || shown.image.cacheKey() == lastKey || g.view.left != 10 || g.view.top != 10)
            continue;
        lastKey = shown.image.cacheKey();
        torn += shown.image.width() != g.view.width() || shown.image.height() != g.view.height()
            || g.view.width() != 301 + 10 * g.zoomIndex || g.baiX != g.baiY;
        bool oneState = false;
        for (int k = 0; k < kStates && !oneState; ++k)
            oneState = composer.Compose(*shownOf[k], g, expected) && expected == shown.image;
        mixed += !oneState;
        enoughSeen = ++checked >= kPictures;
    }
    enoughSeen = true; // out of time: the writers stop too
    settings.join();
    view.join();
    EXPECT_GE(checked, kPictures);
    EXPECT_EQ(mixed, 0);
    EXPECT_EQ(torn, 0);
    dlg.done(0);
}

TEST_F(LiveStateTest, PublishedPictureCarriesTheGeometryThatComposedIt)
{
    m_Sim->setNoise(false);
    m_Sim->setMotion(false); // every frame the same, so the shown picture can be composed again here
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 2; }, 10000));
    dlg.SetZoom(3); // x4
    dlg.ScrollTo(-101.7, -51.2);
    const ViewGeometry wanted = dlg.viewGeometry();
    EXPECT_EQ(wanted.baiX, -101); // whole pixels
    EXPECT_EQ(wanted.baiY, -51);
    const uint64_t seen = dlg.framesShown();
    ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() > seen + 1 && dlg.shownGeometry() == wanted; }, 10000));
    const ViewPicture& shown = dlg.shownPicture();
    EXPECT_EQ(shown.image.size(), QSize(wanted.view.width(), wanted.view.height()));
    EXPECT_EQ(shown.image, expectedView(dlg));
    dlg.done(0);
}

TEST_F(LiveStateTest, StalledFrames_APanShowsFromTheLastFrame)
{
    m_Sim->setNoise(false);
    m_Sim->setMotion(false);
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    dlg.SetZoom(2);
    ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 3 && dlg.shownGeometry() == dlg.viewGeometry(); }, 10000));

    m_Sim->setCommandsFail(true); // frame requests fail: no frame comes any more
    ASSERT_TRUE(livetest::pumpUntilFramesStop(dlg, 500, 20000));
    const uint64_t stalledAt = dlg.framesShown();
    dlg.ScrollTo(-37, -23);
    const ViewGeometry wanted = dlg.viewGeometry();
    ASSERT_NE(dlg.shownGeometry(), wanted);
    EXPECT_TRUE(pumpUntil([&] { return dlg.shownGeometry() == wanted; }, kPatientMs));
    EXPECT_EQ(dlg.framesShown(), stalledAt); // no frame came: the window composed it from the last one
    EXPECT_EQ(dlg.shownPicture().image, expectedView(dlg));
    m_Sim->setCommandsFail(false);
    dlg.done(0);
}
