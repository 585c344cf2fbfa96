// The video recorder: the frames' own times and colours come back from the file, a recording killed or cut
// short by a full disk still plays up to its last fragment, frames beyond the queue are dropped and counted,
// and recorded videos get a marked thumbnail in the strip.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "files/OpenPicture.h"
#include "files/ThumbnailStore.h"
#include "files/VideoFile.h"
#include "files/VideoRecorder.h"
#include "support/FileSizeLimit.h"
#include "support/FileBytes.h"
#include "support/VideoDecode.h"
#include "support/KillTest.h"

namespace {


// A frame of one colour (8-bit frames: grey, the colour's green), with noise of the given amplitude.
DibImage frameOf(int bits, int w, int h, Colour c, int noise = 0, uint32_t seed = 1)
{
    DibImage f;
    f.Create(w, h, uint16_t(bits));
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w * bits / 8; ++x) {
            const double v = bits == 8 ? c.g : (x % 3 == 0 ? c.b : x % 3 == 1 ? c.g : c.r);
            f.rowTopDown(y)[x] = uint8_t(std::clamp(int(v) + (noise ? int(rng() % (2 * noise + 1)) - noise : 0), 0, 255));
        }
    return f;
}

// Whether the file's top-level MP4 boxes (32-bit big-endian size, or 1 and a 64-bit size after the type)
// fill it exactly: no box, such as a fragment's media data, torn off at the end.
bool wholeBoxes(const QByteArray& file)
{
    const auto bigEndian = [&](qsizetype at, int bytes) {
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v = v << 8 | uint8_t(file[at + i]);
        return v;
    };
    qsizetype at = 0;
    while (file.size() - at >= 8) {
        uint64_t size = bigEndian(at, 4);
        if (size == 1 && file.size() - at >= 16)
            size = bigEndian(at + 8, 8);
        if (size < 8 || size > uint64_t(file.size() - at))
            return false;
        at += qsizetype(size);
    }
    return at == file.size() && at > 0;
}

constexpr double kTick = 1.0 / 90000;

VideoRecorder::Options optionsFor(const QString& path, int w, int h, int queue = 8)
{
    VideoRecorder::Options o;
    o.path = path;
    o.width = w;
    o.height = h;
    o.queueFrames = queue;
    return o;
}

// Records frames at the given times (microseconds), waiting for each to be encoded, so none is dropped.
void record(const VideoRecorder::Options& o, const DibImage& frame, const std::vector<int64_t>& times)
{
    VideoRecorder recorder;
    QString error;
    ASSERT_TRUE(recorder.start(o, &error)) << error.toStdString();
    for (size_t i = 0; i < times.size(); ++i) {
        DibImage copy;
        copy.CreateLike(&frame);
        std::memcpy(copy.bits(), frame.bits(), size_t(frame.byteSize()));
        ASSERT_TRUE(recorder.push(std::move(copy), times[i]));
        while (recorder.status().frames <= i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    recorder.stop();
    EXPECT_EQ(recorder.status().dropped, 0u);
    EXPECT_EQ(recorder.status().bytes, QFileInfo(o.path).size());
}

} // namespace

// Irregular capture times (a late frame, a frame that claims the same time as the one before, one that claims
// an earlier time) come back as they were, a frame never before the one before it; grey and colour frames
// keep their colour; odd sides are rounded down to even.
TEST(VideoRecorder, FramesComeBackWithTheirTimesAndColours)
{
    QTemporaryDir dir;
    const struct {
        int bits, width, height;
        Colour colour;
        std::vector<int64_t> timesUs; // of a steady clock, the first not at 0
        std::vector<double> seconds; // expected in the file
    } cases[] = {
        { 24, 64, 48, { 40, 120, 200 }, { 5000000, 5080000, 5160000, 5400000, 5480000 }, { 0, 0.08, 0.16, 0.4, 0.48 } },
        { 8, 64, 48, { 0, 30, 0 }, { 100, 80100, 80100, 60000, 500100 }, { 0, 0.08, 0.08 + kTick, 0.08 + 2 * kTick, 0.5 } },
        { 24, 321, 241, { 230, 20, 90 }, { 0, 1000000, 2500000, 2500011 }, { 0, 1, 2.5, 2.5 + kTick } },
        { 8, 65, 49, { 0, 220, 0 }, { 0, 33333, 66667 }, { 0, 0.033333, 0.066667 } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits " << c.width << " x " << c.height);
        const QString path = dir.filePath("v.mp4");
        record(optionsFor(path, c.width, c.height), frameOf(c.bits, c.width, c.height, c.colour), c.timesUs);
        const Decoded d = decodeAll(path);
        EXPECT_TRUE(d.cleanEnd);
        EXPECT_TRUE(wholeBoxes(readBytes(path)));
        EXPECT_EQ(d.width, c.width & ~1);
        EXPECT_EQ(d.height, c.height & ~1);
        ASSERT_EQ(d.seconds.size(), c.seconds.size());
        for (size_t i = 0; i < d.seconds.size(); ++i) {
            EXPECT_NEAR(d.seconds[i], c.seconds[i], kTick) << i;
            const Colour want = c.bits == 8 ? Colour { c.colour.g, c.colour.g, c.colour.g } : c.colour;
            EXPECT_NEAR(d.colours[i].b, want.b, 4) << i;
            EXPECT_NEAR(d.colours[i].g, want.g, 4) << i;
            EXPECT_NEAR(d.colours[i].r, want.r, 4) << i;
        }
    }
}

// What cannot be recorded is refused and said; frames of another size or kind, and frames beyond the queue,
// are dropped and counted, and every pushed frame is either encoded or counted as dropped.
TEST(VideoRecorder, RefusedStartsAndDroppedFramesAreCounted)
{
    QTemporaryDir dir;
    const struct {
        VideoRecorder::Options options;
        bool starts;
    } starts[] = {
        { optionsFor(dir.filePath("no folder/v.mp4"), 64, 48), false },
        { optionsFor(dir.filePath("tiny.mp4"), 1, 48), false },
        { optionsFor(dir.filePath("noqueue.mp4"), 64, 48, 0), false },
        { optionsFor(dir.filePath("ok.mp4"), 64, 48), true },
    };
    for (const auto& s : starts) {
        VideoRecorder recorder;
        QString error;
        EXPECT_EQ(recorder.start(s.options, &error), s.starts) << s.options.path.toStdString();
        EXPECT_EQ(error.isEmpty(), s.starts);
        EXPECT_EQ(QFileInfo::exists(s.options.path), s.starts) << "a refused start leaves no file";
        EXPECT_EQ(recorder.start(s.options, &error), false) << "never two recordings at once";
    }

    VideoRecorder recorder;
    EXPECT_FALSE(recorder.push(frameOf(24, 64, 48, {}), 0)) << "not recording";
    ASSERT_TRUE(recorder.start(optionsFor(dir.filePath("q.mp4"), 640, 480, 1), nullptr));
    std::vector<DibImage> frames;
    frames.push_back(frameOf(24, 64, 48, {}));
    frames.push_back(frameOf(8, 640, 481, {}));
    frames.push_back(DibImage());
    for (int i = 0; i < 40; ++i)
        frames.push_back(frameOf(i % 2 ? 8 : 24, 640, 480, { 50, 100, 150 }, 20, uint32_t(i)));
    int accepted = 0;
    for (size_t i = 0; i < frames.size(); ++i)
        accepted += recorder.push(std::move(frames[i]), int64_t(i) * 80000) ? 1 : 0;
    recorder.stop();
    recorder.stop(); // again: nothing happens
    const VideoRecorder::Status s = recorder.status();
    EXPECT_FALSE(s.recording);
    EXPECT_FALSE(s.failed);
    EXPECT_GE(s.dropped, 4u) << "3 unsuitable frames and some beyond the queue";
    EXPECT_EQ(s.frames, uint64_t(accepted));
    EXPECT_EQ(s.frames + s.dropped, frames.size());
    EXPECT_EQ(decodeAll(dir.filePath("q.mp4")).seconds.size(), size_t(accepted));
    EXPECT_FALSE(recorder.push(frameOf(24, 640, 480, {}), 0)) << "stopped";
}

// A recording killed with SIGKILL while frames come in plays up to its last complete fragment: every frame
// older than two seconds before the last one pushed is there, with its time. The recording runs in this test
// program started again (a fork alone is unsafe while other tests' threads may hold locks), which writes the
// time of each frame it pushed into a side file.
TEST(VideoRecorder, KilledRecordingPlaysUpToItsLastFragment)
{
    if (const QByteArray path = qgetenv("NX_RECORD_CHILD"); !path.isEmpty()) {
        const int side = open(path + ".last", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        VideoRecorder recorder;
        if (side < 0 || !recorder.start(optionsFor(QFile::decodeName(path), 160, 120, 4), nullptr))
            _exit(1);
        for (int64_t i = 0; i < 600; ++i) { // ten times faster than real time
            const int64_t timeUs = i * 100000;
            if (recorder.push(frameOf(24, 160, 120, { 90, 90, 90 }, 30, uint32_t(i)), timeUs)
                && pwrite(side, &timeUs, sizeof timeUs, 0) != sizeof timeUs)
                _exit(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        _exit(2); // never got killed
    }
    QTemporaryDir dir(killTestBase());
    const QByteArray path = QFile::encodeName(dir.filePath("killed.mp4"));
    const QByteArray program = QFile::encodeName(QFileInfo("/proc/self/exe").symLinkTarget());
    const QByteArray filter = "--gtest_filter=VideoRecorder.KilledRecordingPlaysUpToItsLastFragment";
    const QByteArray variable = "NX_RECORD_CHILD=" + path;
    char* const argv[] = { const_cast<char*>(program.constData()), const_cast<char*>(filter.constData()), nullptr };
    std::vector<char*> environment { const_cast<char*>(variable.constData()) };
    for (char** e = environ; *e; ++e)
        environment.push_back(*e);
    environment.push_back(nullptr);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        execve(argv[0], argv, environment.data());
        _exit(3);
    }
    ASSERT_GT(child, 0);
    const auto lastPushedUs = [&] {
        QFile side(QFile::decodeName(path + ".last"));
        int64_t timeUs = -1;
        return side.open(QIODevice::ReadOnly) && side.read(reinterpret_cast<char*>(&timeUs), 8) == 8 ? timeUs : -1;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (lastPushedUs() < 3700000 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself: " << WEXITSTATUS(status);
    const double lastPushed = double(lastPushedUs()) / 1e6;

    const Decoded d = decodeAll(QFile::decodeName(path));
    ASSERT_FALSE(d.seconds.empty());
    EXPECT_GE(d.seconds.back(), lastPushed - 2.0) << "more than two seconds lost";
    EXPECT_LT(d.seconds.back(), lastPushed) << "the last fragment cannot have been written";
    for (size_t i = 0; i < d.seconds.size(); ++i) {
        EXPECT_NEAR(d.seconds[i], std::round(d.seconds[i] * 10) / 10, kTick) << i;
        if (i > 0) {
            EXPECT_GT(d.seconds[i], d.seconds[i - 1]) << i;
        }
    }
}

// A disk that fills up ends the recording with the reason; the file is cut back to its last complete
// fragment and plays to its end; later frames are refused.
TEST(VideoRecorder, FullDiskEndsTheRecordingWithAPlayableFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("full.mp4");
    VideoRecorder recorder;
    int pushed = 0;
    {
        FileSizeLimit limit(150000);
        ASSERT_TRUE(limit.ok());
        ASSERT_TRUE(recorder.start(optionsFor(path, 160, 120), nullptr));
        for (; pushed < 400 && !recorder.status().failed; ++pushed) {
            recorder.push(frameOf(24, 160, 120, { 90, 90, 90 }, 10, uint32_t(pushed)), int64_t(pushed) * 100000);
            while (recorder.status().frames + recorder.status().dropped <= uint64_t(pushed) && !recorder.status().failed)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_FALSE(recorder.push(frameOf(24, 160, 120, {}), 99000000)) << "refused once failed";
        recorder.stop();
    }
    const VideoRecorder::Status s = recorder.status();
    EXPECT_TRUE(s.failed);
    EXPECT_FALSE(s.recording);
    EXPECT_TRUE(s.error.contains("full.mp4")) << s.error.toStdString();
    EXPECT_EQ(s.bytes, QFileInfo(path).size());
    EXPECT_LE(s.bytes, 150000);
    const Decoded d = decodeAll(path);
    EXPECT_TRUE(d.cleanEnd);
    EXPECT_TRUE(wholeBoxes(readBytes(path))) << "a torn fragment at the end";
    ASSERT_GE(d.seconds.size(), 10u);
    EXPECT_LT(d.seconds.size(), size_t(pushed));
    for (size_t i = 0; i < d.seconds.size(); ++i)
        EXPECT_NEAR(d.seconds[i], 0.1 * double(i), kTick) << i;
}

// The first frame for the strip: from a recording, and cleanly nothing from what is no video; a folder's
// video gets its thumbnail with the video mark, and is no picture to open.
TEST(VideoRecorder, VideoThumbnailsCarryTheMark)
{
    QTemporaryDir dir;
    record(optionsFor(dir.filePath("a.mp4"), 64, 48), frameOf(24, 64, 48, { 200, 60, 30 }), { 0, 100000 });
    const QByteArray recording = readBytes(dir.filePath("a.mp4"));
    writeBytes(dir.filePath("garbage.mp4"), QByteArray(5000, 'x'));
    writeBytes(dir.filePath("empty.mp4"), QByteArray());
    writeBytes(dir.filePath("cut.mp4"), recording.left(200));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.mp4"));
    const struct {
        const char* name;
        bool decodes;
    } files[] = { { "a.mp4", true }, { "garbage.mp4", false }, { "empty.mp4", false }, { "cut.mp4", false },
        { "folder.mp4", false }, { "missing.mp4", false } };
    for (const auto& f : files) {
        DibImage picture;
        EXPECT_EQ(DecodeVideoFirstFrame(dir.filePath(f.name), picture), f.decodes) << f.name;
        EXPECT_EQ(picture.width(), f.decodes ? 64 : 0) << f.name;
        if (f.decodes) {
            const uint8_t* middle = picture.rowTopDown(24) + 3 * 32;
            EXPECT_NEAR(middle[0], 200, 6);
            EXPECT_NEAR(middle[2], 30, 6);
        }
    }
    DibImage picture = frameOf(24, 8, 8, {});
    EXPECT_EQ(OpenPicture(dir.filePath("a.mp4"), picture), 0) << "a video is no picture";
    EXPECT_EQ(picture.width(), 8);

    ASSERT_TRUE(frameOf(24, 64, 48, { 200, 60, 30 }).SaveBmp(dir.filePath("b.bmp")));
    ThumbnailStore store;
    store.ScanFolder(dir.path());
    ASSERT_EQ(store.count(), 2) << "a.mp4 and b.bmp";
    const DibImage& video = store.first()->image;
    const DibImage& still = store.first()->next->image;
    EXPECT_TRUE(ThumbnailStore::IsVideoName(store.first()->path));
    EXPECT_FALSE(ThumbnailStore::IsVideoName(store.first()->next->path));
    // Inside the mark's box at the top right: the triangle white, beside it dark; elsewhere the picture.
    const int top = 4, left = ThumbnailStore::kThumbWidth - 4 - 26;
    for (const int channel : { 0, 1, 2 }) {
        EXPECT_EQ(video.rowTopDown(top + 10)[3 * (left + 11) + channel], 255) << "triangle";
        EXPECT_EQ(video.rowTopDown(top + 10)[3 * (left + 4) + channel], 40) << "box";
        EXPECT_NEAR(video.rowTopDown(50)[3 * 70 + channel], still.rowTopDown(50)[3 * 70 + channel], 6);
        EXPECT_NE(video.rowTopDown(top + 10)[3 * (left + 11) + channel], still.rowTopDown(top + 10)[3 * (left + 11) + channel]);
    }
}
