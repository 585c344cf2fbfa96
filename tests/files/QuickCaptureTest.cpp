// Quick capture: the names it gives, its options in the settings file, and the queue that writes on its own
// thread: bounded, never overwriting, and never losing a picture it accepted.
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
