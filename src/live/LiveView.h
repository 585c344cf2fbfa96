// LiveView: the live pipeline without widgets. It owns the camera source, the frame images and their lock,
// the kernel chain, auto exposure, the white-balance request, the histogram feed, the composed view pictures
// and the display thread, and it says what the live view is doing (the status line, a lost camera).
//
// Thread rules, all of them:
// - The settings have one owner, LiveSettings. The user-interface thread writes through it; each display pass
//   copies what it needs at its start (LiveSettings::snapshot) and works on that copy.
// - The frame images (raw, work, colour) are guarded by one mutex, reached only through withFrame() (and the
//   members of this class). A display pass holds it while it fills them and composes from them, never across
//   camera register I/O; the user-interface thread holds it to create, read or replace them while the display
//   thread runs. Nothing holds it while writing files: takePicture() copies under it. Only the user-interface
//   thread makes them anew (it reads their size without the lock): a frame size the display pass finds the
//   camera keeping to is handed over in an atomic word and taken by adoptFrameSize().
// - A composed view picture is published (ViewPublisher) with the zoom, scroll and view rectangle it was
//   composed with; whatever is drawn over it and every mouse mapping use that geometry (shownPicture()).
// - Every other word the two threads share is a std::atomic: the run state, the heartbeat, counters, the
//   values auto exposure set, a lost camera and a frame size to take, which the user-interface thread learns
//   by polling (sourceLost(), adoptFrameSize()), never by an event from the display thread. The message of
//   refused frames goes over under the status line's lock (takeRefusedFrames()).
// - The display thread exists between start() and stop(); step() runs one pass on the caller's thread
//   instead (tests), and must not be used while the display thread runs.
#pragma once

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "camera/LiveSource.h"
#include "imaging/AutoExposure.h"
#include "imaging/DibImage.h"
#include "imaging/FocusPeaking.h"
#include "imaging/FrameProcessor.h"
#include "imaging/HistogramFeed.h"
#include "imaging/LiveStatus.h"
#include "imaging/ProcessorInfo.h"
#include "imaging/ViewComposer.h"
#include "imaging/ViewPublisher.h"
#include "live/LiveSettings.h"

// Which frame a picture is: its number in the display passes since the view was made, and when the camera
// handed it over (steady clock, microseconds). Number 0: no frame yet.
struct FrameStamp {
    uint64_t number = 0;
    int64_t timeUs = 0;
};

// The frame images as withFrame() hands them over.
struct LiveFrames {
    DibImage& raw;     // the frame as the source delivered it
    DibImage& color;   // the colour image of the colour modes
    DibImage& picture; // the picture in use: color in the colour modes, else raw
    const LiveSource::FrameFormat& format;
};

class LiveView {
public:
    // Run states: stopped, live, and the camera being (re)configured.
    static constexpr int kStopped = 0;
    static constexpr int kLive = 1;
    static constexpr int kConfiguring = 2;

    // The status line before the first frame.
    static constexpr const char* kInitialStatus
        = "NX-QB740LE Version 1.510  Capture Time 0 GetImage Time 0  ShowImage Time 0  Frame per Second 0.0";

    explicit LiveView(LiveSettings& settings);
    ~LiveView();
    LiveView(const LiveView&) = delete;
    LiveView& operator=(const LiveView&) = delete;

    // The camera the frames come from; set once, before the first start.
    void setSource(std::unique_ptr<LiveSource> source);
    LiveSource& source() { return *m_Source; }
    const LiveSource& source() const { return *m_Source; }
    bool hasSource() const { return m_Source != nullptr; }
    // What the frames of the current capture are (user-interface thread, or inside withFrame). Its size
    // changes under the frame lock when the camera turns out to send another size than it agreed to.
    const LiveSource::FrameFormat& format() const { return m_Format; }

    // Opens the camera with the stored window, clock, gains and exposure and makes the frame images for its
    // frames (without a camera, images of the stored window up to the sensor's size). False without a camera.
    bool startCamera();
    void stopCamera();
    // The live view: startCamera(), then startDisplay().
    void start();
    // The display thread, for a camera startCamera() has started.
    void startDisplay();
    // The display thread ends and the camera stops; the last frame stays for measuring and saving.
    void stop();
    // The display thread exists (between start and stop).
    bool running() const { return m_DisplayThread.joinable(); }
    // Frames are flowing: the view is live and the camera captures.
    bool isLive() const;
    int runState() const { return m_RunState.load(); }

    // One display pass on the caller's thread: the next frame, when one waits, processed, composed and
    // published. False when no frame came.
    bool step();

    // The user-interface thread's tick: the display loop pauses while it has not ticked for half a second
    // (a blocked user interface would not show what it makes) and waits for the first one.
    void heartbeat(uint32_t nowMs) { m_Heartbeat = nowMs; }
    uint32_t lastHeartbeat() const { return m_Heartbeat.load(); }

    // Runs fn(LiveFrames&) under the frame lock and gives its result.
    template <typename Fn> auto withFrame(Fn&& fn)
    {
        std::lock_guard lock(m_FrameMutex);
        LiveFrames frames { m_ImgRaw, m_ImgColor, mutablePicture(), m_Format };
        return fn(frames);
    }
    // Copies the picture in use (the frame as shown) under the frame lock, with the stamp of the frame it
    // holds when asked; false when it could not.
    bool takePicture(DibImage& copy, FrameStamp* stamp = nullptr);
    // The stamp of the newest frame in the picture in use (reads it under the frame lock).
    FrameStamp lastFrame();
    // The picture in use, for its size and for reading while the live view is stopped. While it runs, its
    // pixels are the display thread's: read them through withFrame.
    const DibImage& pictureInUse() const;
    // Recreates the frame images for width x height frames of bitsPerPixel (8, or 24 for colour sources).
    void createFrameImages(int32_t width, int32_t height, uint16_t bitsPerPixel = 8);
    // After the colour modes changed: the colour image at the width they need.
    void recreateColorImage();
    // WB: asks the next pass for one white-balance measurement; a second call withdraws the request.
    void toggleWhiteBalance();

    // The view: the settings' rectangle, zoom and scroll over the picture in use.
    ViewGeometry viewGeometry() const;
    // User-interface thread: the picture on the screen with the geometry it was composed with.
    const ViewPicture& shownPicture() const;
    // User-interface thread: takes a newly published picture; when frames stall and the view changed,
    // composes one from the last frame instead. True when the shown picture changed.
    bool refreshShown();
    // User-interface thread: composes the shown picture here from the picture in use (the view stopped);
    // wait: whether to wait for a display pass under way. False when nothing was composed.
    bool composeShown(bool wait);

    // User-interface thread: the picture shown, shrunk to width x height for the overview of a magnified view;
    // wait: whether to wait for a display pass under way. False when nothing was made (out stays as it was).
    bool overview(int width, int height, QImage& out, bool wait);

    // The status line the last pass wrote.
    QString status() const;
    // User-interface thread: true once when the camera of the current start vanished while live; the
    // window then stops the live view and tells the user.
    bool sourceLost();
    // User-interface thread: once per start, when every frame has been refused for a second (another size
    // than the frame images and not the same twice running, or short), what the camera sends and what was
    // expected, for a message; empty else. The status line says it too.
    QString takeRefusedFrames();
    // User-interface thread (the window's poll, or step()): a camera that keeps to another frame size than it
    // agreed to gets frame images of that size here, under the frame lock. True when the size changed.
    bool adoptFrameSize();

    // Measured by the display pass while someone wants it.
    HistogramFeed& histogramFeed() { return m_HistogramFeed; }
    // The gain or shutter auto exposure last set on the camera (-1 before it set any).
    int32_t autoExposureGain() const { return m_AutoGain.load(); }
    int32_t autoExposureShutter() const { return m_AutoShutter.load(); }
    // Frames processed and shown, and turns of the display loop (a napping loop makes at most one a ms).
    uint64_t framesShown() const { return m_FramesShown.load(); }
    // The focus score of the part of the last frame the view showed (FocusScore); 0 before a frame.
    double focusScore() const { return m_FocusScore.load(); }
    // Focus peaking over the live view pictures (off at start): the in-focus edges tinted in colour, a ColorRef
    // (0x00BBGGRR, as the settings keep colours). Any thread; the next picture composed follows it.
    void setFocusPeaking(bool on, ColorRef colour);
    bool focusPeaking() const { return m_Peaking.load() & kPeakingOn; }
    // Frames shown per second, as the status line says it (0 before a second of frames).
    double frameRate() const { return m_Rate.load(); }
    uint64_t loopTurns() const { return m_LoopTurns.load(); }
    // The longest the user-interface thread has waited for the frame lock, in microseconds.
    int64_t longestFrameLockWaitUs() const { return m_LongestUiLockWaitUs; }

private:
    DibImage& mutablePicture();
    // Under the frame lock: what the view shows now.
    const DibImage& frameShown() const;
    ViewGeometry geometryOver(const DibImage& picture) const;
    void launch();
    void join();
    void runLoop();
    bool showNextFrame();
    bool runDisplayPass();
    void adaptToSource(ProcessSettings& process) const;
    void runAutoExposure(double factor, int32_t mode, uint32_t now);
    int32_t nextExposure(LiveSource::Control control, double factor);
    void setStatus(const QString& text);
    void noteRefusedFrame();
    void sizeColorImage(const ViewerSettings& v);
    bool framesStalled() const;
    void tintFocusPeaking(FocusPeaking& peaking, const DibImage& shown, const ViewGeometry& g, QImage& view);

    LiveSettings& m_Settings;
    ProcessorInfo m_Processor;
    std::unique_ptr<LiveSource> m_Source;
    LiveSource::FrameFormat m_Format; // written under the frame lock by startCamera

    std::mutex m_FrameMutex;
    DibImage m_ImgRaw;
    DibImage m_ImgWork;
    DibImage m_ImgColor;
    const DibImage* m_LastShown = nullptr; // the frame image the last pass showed (under the frame lock)
    FrameStamp m_Stamp; // of the frame in the images (under the frame lock)

    FrameProcessor m_FrameChain;
    AutoExposure m_AutoExposure;
    FrameRateMeter m_FrameRate;
    HistogramFeed m_HistogramFeed;
    ViewPublisher m_Publisher;
    ViewComposer m_DisplayComposer; // the display thread's
    FocusPeaking m_DisplayPeaking;  // the display thread's

    // The user-interface thread's own picture: a still one, or the live one when frames stall.
    ViewComposer m_UiComposer;
    ViewPicture m_UiPicture;
    FocusPeaking m_UiPeaking;
    bool m_UiPictureShown = false; // m_UiPicture is newer than the published one
    int64_t m_LongestUiLockWaitUs = 0;

    std::thread m_DisplayThread;
    std::atomic<int> m_RunState { kStopped };
    std::atomic<uint32_t> m_Heartbeat { 0 };
    std::atomic<uint64_t> m_FramesShown { 0 };
    std::atomic<double> m_Rate { 0.0 };
    std::atomic<double> m_FocusScore { 0.0 };
    // Peaking on (this bit) and its colour (the low 24 bits) in one word, so a pass never sees one without the other.
    static constexpr uint32_t kPeakingOn = 0x80000000u;
    std::atomic<uint32_t> m_Peaking { 0 };
    std::atomic<uint64_t> m_LoopTurns { 0 };
    std::atomic<int32_t> m_AutoGain { -1 };
    std::atomic<int32_t> m_AutoShutter { -1 };
    std::atomic<uint32_t> m_CameraStarts { 0 }; // a loss reported for an earlier start is old news
    std::atomic<bool> m_LossReported { false };
    std::atomic<uint32_t> m_LostInStart { 0 }; // 1 + the start whose camera was lost; 0: none

    // Frames getFrame refused since the last one shown (display thread, under the frame lock).
    struct RefusedFrames {
        uint32_t count = 0, sameSize = 0; // sameSize: the last ones of one size, running
        uint32_t since = 0; // the first one's tick
        LiveSource::Refusal last;
        bool asked = false; // the size was handed to adoptFrameSize
        bool told = false; // in this start
        // A fresh count that remembers whether this start has told of refused frames.
        void restart()
        {
            const bool wasTold = told;
            *this = RefusedFrames();
            told = wasTold;
        }
    } m_Refused; // under the frame lock
    // The size the display pass asks adoptFrameSize to take: width << 32 | height, 0 for none.
    std::atomic<uint64_t> m_SizeToAdopt { 0 };

    mutable std::mutex m_StatusMutex;
    QString m_Status { kInitialStatus };
    QString m_RefusalMessage; // under m_StatusMutex; taken by takeRefusedFrames
};
