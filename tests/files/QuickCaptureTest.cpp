// Quick capture: the names it gives, its options in the settings file, and the queue that writes on its own
// thread: bounded, never overwriting, and never losing a picture it accepted. Time-lapse against a scripted
// clock: its schedule, late and refused shots, its names and its options.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <condition_variable>
#include <mutex>

#include "files/CaptureName.h"
#include "files/CaptureOptions.h"
#include "files/QuickCapture.h"
#include "files/TimeLapse.h"
#include "imaging/DibImage.h"
#include "platform/PrivateProfile.h"

namespace {

const QDateTime kWhen(QDate(2024, 3, 5), QTime(7, 8, 9));

DibImage colourPicture(int w = 64, int h = 48)
{
    DibImage p;
    p.Create(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w * 3; ++x)
            p.rowTopDown(y)[x] = uint8_t(x + y);
    return p;
}

// A writer the test holds until it lets go, counting what it was asked to write.
struct HeldWriter {
    std::mutex mutex;
    std::condition_variable cv;
    bool open = false;
    std::vector<QString> written;

    QuickCapture::Writer writer()
    {
        return [this](const QString& path, const DibImage& picture, int format, const SaveOptions& options) {
            std::unique_lock lock(mutex);
            cv.wait(lock, [this] { return open; });
            written.push_back(path);
            return WritePicture(path, picture, format, options);
        };
    }
    void release()
    {
        std::lock_guard lock(mutex);
        open = true;
        cv.notify_all();
    }
};

} // namespace

TEST(CaptureName, ExpandsTimeCounterAndCalibration)
{
    const struct {
        const char* pattern;
        int64_t counter;
        const char* calib;
        const char* name;
    } cases[] = {
        { "%Y%m%d%H%M%S", 1, "", "20240305070809" }, // the name SAVE proposes
        { "part_%n", 7, "", "part_0007" },
        { "part_%n", 123456, "", "part_123456" },
        { "%c-%H%M", 1, "Stage 1mm", "Stage 1mm-0708" },
        { "%c", 1, "a/b\\c", "a_b_c" }, // a calibration name never makes a folder
        { "100%% %q %", 1, "", "100% %q %" }, // unknown codes and a lone % stay
        { "", 1, "", "capture" },
        { "%c", 1, "..", "capture" },
        { "x\ty", 1, "", "x_y" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(CaptureName::Expand(QString::fromUtf8(c.pattern), kWhen, c.counter, QString::fromUtf8(c.calib)),
            QString::fromUtf8(c.name))
            << c.pattern;

    const std::set<QString> taken { "/d/a.png", "/d/a_2.png" };
    const auto isTaken = [&taken](const QString& p) { return taken.count(p) != 0; };
    EXPECT_EQ(CaptureName::FreePath("/d", "a", "png", isTaken), "/d/a_3.png");
    EXPECT_EQ(CaptureName::FreePath("/d", "b", "png", isTaken), "/d/b.png");
    EXPECT_TRUE(CaptureName::FreePath("/d", "a", "png", [](const QString&) { return true; }).isEmpty());
}

TEST(CaptureOptions, SettingsRoundTripAndBadValuesKeepDefaults)
{
    CaptureOptions o;
    o.key = "Ctrl+Shift+S";
    o.namePattern = "%c_%n";
    o.format = 3;
    o.overlay = true;
    o.jpegQuality = 90;
    o.counter = 42;
    o.recordView = true;
    o.recordOverlay = true;
    ProfileFile file;
    o.save(file);
    const CaptureOptions back = CaptureOptions::Load(file);
    EXPECT_EQ(back.key, o.key);
    EXPECT_EQ(back.namePattern, o.namePattern);
    EXPECT_EQ(back.format, 3);
    EXPECT_TRUE(back.overlay);
    EXPECT_EQ(back.jpegQuality, 90);
    EXPECT_EQ(back.counter, 42);
    EXPECT_TRUE(back.recordView);
    EXPECT_TRUE(back.recordOverlay);

    ProfileFile bad;
    for (const auto& [key, value] : { std::pair { "QuickCaptureKey", "F12, F11" }, { "QuickCaptureFormat", "gif" },
             { "JpegQuality", "0" }, { "QuickCaptureCounter", "-3" }, { "QuickCaptureName", "" } })
        bad.setValue("NX-QB740LE", key, value);
    const CaptureOptions defaults = CaptureOptions::Load(bad);
    EXPECT_EQ(defaults.key, "F12");
    EXPECT_EQ(defaults.format, 1);
    EXPECT_EQ(defaults.jpegQuality, 50);
    EXPECT_EQ(defaults.counter, 1);
    EXPECT_EQ(defaults.namePattern, "%Y%m%d%H%M%S");
}

// Nine captures in one second while the writer is held: eight wait, the ninth is refused; once let go, all
// eight are written under eight names, none overwriting the file that was there, the counter counting them.
TEST(QuickCapture, BoundedQueueNamesNeverClashAndEveryAcceptedPictureIsWritten)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile existing(dir.filePath("20240305070809.bmp"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep");
    existing.close();

    HeldWriter held;
    QuickCapture capture(held.writer());
    CaptureOptions options;
    std::set<QString> names;
    for (int i = 0; i < QuickCapture::kMaxPending; ++i) {
        QString path;
        ASSERT_EQ(capture.capture(colourPicture(), dir.path(), options, "", {}, {}, kWhen, &path),
            QuickCapture::Outcome::Queued);
        names.insert(path);
    }
    EXPECT_EQ(names.size(), size_t(QuickCapture::kMaxPending));
    EXPECT_EQ(names.count(dir.filePath("20240305070809.bmp")), 0u);
    EXPECT_EQ(capture.capture(colourPicture(), dir.path(), options, "", {}, {}, kWhen),
        QuickCapture::Outcome::Busy);
    EXPECT_EQ(capture.capture(DibImage(), dir.path(), options, "", {}, {}, kWhen), QuickCapture::Outcome::NoPicture);
    EXPECT_EQ(options.counter, 1 + QuickCapture::kMaxPending);

    held.release();
    capture.waitUntilIdle();
    const std::vector<QuickCapture::Finished> finished = capture.takeFinished();
    ASSERT_EQ(finished.size(), size_t(QuickCapture::kMaxPending));
    for (const QuickCapture::Finished& f : finished) {
        EXPECT_TRUE(f.written) << f.path.toStdString();
        EXPECT_EQ(f.thumbnail.width(), 140);
        DibImage back;
        EXPECT_TRUE(back.LoadPictureFile(f.path)) << f.path.toStdString();
        EXPECT_EQ(back.width(), 64);
    }
    QFile kept(dir.filePath("20240305070809.bmp"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "keep");
    EXPECT_TRUE(capture.takeFinished().empty());
}

// A folder that cannot take the file: the capture is accepted, its writing fails and is reported, nothing is
// left in the folder. Pictures still waiting when the capture ends are written before it is gone.
TEST(QuickCapture, FailedWriteIsReportedAndPendingPicturesSurviveTheEnd)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CaptureOptions options;
    options.format = 2;
    {
        QuickCapture capture;
        ASSERT_EQ(capture.capture(colourPicture(), dir.filePath("gone"), options, "", {}, {}, kWhen),
            QuickCapture::Outcome::Queued);
        capture.waitUntilIdle();
        const auto finished = capture.takeFinished();
        ASSERT_EQ(finished.size(), 1u);
        EXPECT_FALSE(finished[0].written);
        EXPECT_FALSE(QFileInfo::exists(dir.filePath("gone")));
    }
    HeldWriter held;
    {
        QuickCapture capture(held.writer());
        for (int i = 0; i < 3; ++i)
            capture.capture(colourPicture(), dir.path(), options, "", {}, {}, kWhen);
        held.release();
    }
    EXPECT_EQ(held.written.size(), 3u);
    EXPECT_EQ(QDir(dir.path()).entryList({ "*.jpg" }).size(), 3);
}

// Every 2 s, five shots, started at 1 s on the clock. Shots are due exactly on the schedule, and one taken
// late moves none of the later ones; a refused shot stays due and is taken late, never skipped.
TEST(TimeLapse, ScheduleFromTheClockLateAndRefusedShots)
{
    enum Act { Look, Take, Refuse };
    const struct {
        int64_t now;
        Act act;
        bool due; // before the act
        int taken, late; // after it
        const char* status;
    } script[] = {
        { 999, Look, false, 0, 0, "time-lapse 0 of 5, next in 0.1 s" },
        { 1000, Take, true, 1, 0, "time-lapse 1 of 5, next in 2.0 s" },
        { 2999, Look, false, 1, 0, "time-lapse 1 of 5, next in 0.1 s" },
        { 3300, Take, true, 2, 1, "time-lapse 2 of 5, late by 0.3 s, next in 1.7 s" }, // still due at 5 s
        { 4999, Look, false, 2, 1, "time-lapse 2 of 5, late by 0.3 s, next in 0.1 s" },
        { 5000, Refuse, true, 2, 1, "time-lapse 2 of 5, late by 0.3 s, next in 0.0 s" },
        { 5600, Refuse, true, 2, 1, "time-lapse 2 of 5, late by 0.6 s" }, // overdue: no countdown
        { 6800, Take, true, 3, 2, "time-lapse 3 of 5, late by 1.8 s, next in 0.2 s" },
        { 7000, Take, true, 4, 2, "time-lapse 4 of 5, next in 2.0 s" },
        { 9100, Take, true, 5, 2, "time-lapse done: 5 pictures, 2 late" }, // within the tolerance
        { 20000, Look, false, 5, 2, "time-lapse done: 5 pictures, 2 late" },
    };
    TimeLapse lapse;
    TimeLapseOptions options;
    options.intervalSeconds = 2;
    options.count = 5;
    lapse.start(options, 1000, QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9)));
    EXPECT_EQ(lapse.total(), 5);
    for (const auto& step : script) {
        EXPECT_EQ(lapse.isDue(step.now), step.due) << step.now;
        if (step.act == Take)
            lapse.shotTaken(step.now);
        else if (step.act == Refuse)
            lapse.shotRefused(step.now);
        EXPECT_EQ(lapse.taken(), step.taken) << step.now;
        EXPECT_EQ(lapse.lateShots(), step.late) << step.now;
        EXPECT_EQ(lapse.status(step.now, false), step.status) << step.now;
    }
    EXPECT_FALSE(lapse.running());
    EXPECT_EQ(lapse.refusals(), 2);

    // Japanese; whole seconds from a 10 s interval on; a stop keeps what was taken.
    options.intervalSeconds = 60;
    lapse.start(options, 0, QDateTime());
    lapse.shotTaken(1500);
    EXPECT_EQ(lapse.status(1500, false), "time-lapse 1 of 5, next in 59 s");
    EXPECT_EQ(lapse.status(65000, false), "time-lapse 1 of 5, next in 0 s"); // within 10 % of the interval
    EXPECT_EQ(lapse.status(67500, true), QString::fromUtf8("タイムラプス 1 / 5、7.5 秒遅れ"));
    EXPECT_EQ(lapse.msUntilNext(59999), 1);
    lapse.stop();
    EXPECT_FALSE(lapse.isDue(67500));
    EXPECT_EQ(lapse.status(67500, false), "time-lapse stopped: 1 of 5 pictures");
}

// How many shots a duration makes, and the files' names: the start time and the shot's number.
TEST(TimeLapse, ShotsAndNumberedNames)
{
    const struct {
        bool byDuration;
        int count;
        double interval, duration;
        int shots;
    } cases[] = {
        { false, 10, 2, 1, 10 },
        { false, 0, 2, 1, 1 },
        { true, 10, 2, 9, 5 }, // 0, 2, 4, 6, 8
        { true, 10, 0.1, 0.3, 4 }, // not 2.999... intervals
        { true, 10, 10, 0, 1 },
        { true, 10, 0.01, TimeLapseOptions::kMaxDuration, 60480001 },
    };
    for (const auto& c : cases) {
        TimeLapseOptions o;
        o.byDuration = c.byDuration;
        o.count = c.count;
        o.intervalSeconds = c.interval;
        o.durationSeconds = c.duration;
        EXPECT_EQ(o.shots(), c.shots) << c.interval << " " << c.duration;
    }

    TimeLapseOptions options;
    options.count = 3;
    options.format = 4;
    options.overlay = true;
    CaptureOptions base;
    base.namePattern = "%c";
    base.jpegQuality = 80;
    base.counter = 42;
    TimeLapse lapse;
    lapse.start(options, 0, kWhen);
    for (const char* name : { "20240305070809_0001", "20240305070809_0002", "20240305070809_0003" }) {
        const CaptureOptions shot = lapse.optionsForShot(base);
        EXPECT_EQ(CaptureName::Expand(shot.namePattern, kWhen.addSecs(3600), shot.counter, "stage"), name);
        EXPECT_EQ(shot.format, 4);
        EXPECT_TRUE(shot.overlay);
        EXPECT_EQ(shot.jpegQuality, 80);
        lapse.shotTaken(lapse.scheduledMs(lapse.taken()));
    }
    EXPECT_EQ(lapse.lateShots(), 0);
}

TEST(TimeLapseOptions, SettingsRoundTripAndBadValuesKeepDefaults)
{
    TimeLapseOptions o;
    o.intervalSeconds = 0.25;
    o.byDuration = true;
    o.count = 77;
    o.durationSeconds = 90.5;
    o.format = 4;
    o.overlay = true;
    ProfileFile file;
    o.save(file);
    EXPECT_EQ(file.value("NX-QB740LE", "TimeLapseFormat").value_or(""), "tif");
    const TimeLapseOptions back = TimeLapseOptions::Load(file);
    EXPECT_EQ(back.intervalSeconds, 0.25);
    EXPECT_TRUE(back.byDuration);
    EXPECT_EQ(back.count, 77);
    EXPECT_EQ(back.durationSeconds, 90.5);
    EXPECT_EQ(back.format, 4);
    EXPECT_TRUE(back.overlay);

    const TimeLapseOptions defaults;
    for (const auto& [key, value] : { std::pair { "TimeLapseInterval", "0" }, { "TimeLapseInterval", "86401" },
             { "TimeLapseInterval", "nan" }, { "TimeLapseInterval", "5s" }, { "TimeLapseCount", "0" },
             { "TimeLapseCount", "2.5" }, { "TimeLapseCount", "100001" }, { "TimeLapseDuration", "-1" },
             { "TimeLapseDuration", "604801" }, { "TimeLapseFormat", "gif" } }) {
        ProfileFile bad;
        bad.setValue("NX-QB740LE", key, value);
        const TimeLapseOptions l = TimeLapseOptions::Load(bad);
        EXPECT_EQ(l.intervalSeconds, defaults.intervalSeconds) << key << "=" << value;
        EXPECT_EQ(l.count, defaults.count) << key << "=" << value;
        EXPECT_EQ(l.durationSeconds, defaults.durationSeconds) << key << "=" << value;
        EXPECT_EQ(l.format, defaults.format) << key << "=" << value;
    }
}
