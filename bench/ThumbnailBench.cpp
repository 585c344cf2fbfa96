// Speed of the thumbnail store on a save folder of 500 camera frames (2048 x 1536, half BMP, half JPEG),
// generated once in a temporary folder: ScanFolder from nothing (every picture decoded in full and
// reduced), and Load of the ThumbNail file that the scan leads to.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "files/JpegEncoder.h"
#include "files/ThumbnailStore.h"
#include "imaging/DibImage.h"

namespace {

constexpr int kPictures = 500;
constexpr int kWidth = 2048;
constexpr int kHeight = 1536;

struct SaveFolder {
    QTemporaryDir dir;
    QString thumbnailFile;

    SaveFolder()
    {
        // One photograph-like frame; each picture shifts and tints it, so no two files are alike.
        DibImage base, frame;
        base.Create(kWidth, kHeight, 24);
        frame.Create(kWidth, kHeight, 24);
        for (int y = 0; y < kHeight; ++y) {
            uint8_t* row = base.rowTopDown(y);
            for (int x = 0; x < kWidth; ++x) {
                const double shade = 100 + 50 * std::sin(x * 0.0031) * std::cos(y * 0.0043);
                const double texture = 8 * std::sin(x * 0.21 + y * 0.05) * std::sin(y * 0.17 - x * 0.02);
                row[3 * x] = uint8_t(std::clamp(int(shade - texture - 20), 0, 255));
                row[3 * x + 1] = uint8_t(std::clamp(int(shade + texture), 0, 255));
                row[3 * x + 2] = uint8_t(std::clamp(int(shade + texture + 25), 0, 255));
            }
        }
        for (int i = 0; i < kPictures; ++i) {
            const int shift = (i * 37) % kWidth;
            for (int y = 0; y < kHeight; ++y) {
                const uint8_t* s = base.rowTopDown(y);
                uint8_t* d = frame.rowTopDown(y);
                for (int x = 0; x < kWidth; ++x)
                    for (int c = 0; c < 3; ++c)
                        d[3 * x + c] = uint8_t(s[3 * ((x + shift) % kWidth) + c] + (c == i % 3 ? i % 40 : 0));
            }
            const QString name = dir.filePath(QString::asprintf("%04d.%s", i, i % 2 ? "jpg" : "bmp"));
            if (!(i % 2 ? EncodeJpeg(frame, name) : frame.SaveBmp(name)))
                std::fprintf(stderr, "could not write %s\n", qPrintable(name));
        }
        thumbnailFile = ThumbnailStore::FileIn(dir.path());
        ThumbnailStore store;
        store.ScanFolder(dir.path());
        store.Save(thumbnailFile);
    }
};

SaveFolder& folder()
{
    static SaveFolder f;
    return f;
}

void BM_ScanFolderFromNothing(benchmark::State& state)
{
    SaveFolder& f = folder();
    int entries = 0;
    for (auto _ : state) {
        ThumbnailStore store;
        store.ScanFolder(f.dir.path());
        entries = store.count();
    }
    state.counters["entries"] = entries;
    state.counters["pictures_per_second"] = benchmark::Counter(entries, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ScanFolderFromNothing)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_LoadThumbnailFile(benchmark::State& state)
{
    SaveFolder& f = folder();
    int entries = 0;
    for (auto _ : state) {
        ThumbnailStore store;
        store.Load(f.thumbnailFile);
        entries = store.count();
    }
    state.counters["entries"] = entries;
}
BENCHMARK(BM_LoadThumbnailFile)->Unit(benchmark::kMillisecond);

void BM_SaveThumbnailFile(benchmark::State& state)
{
    SaveFolder& f = folder();
    ThumbnailStore store;
    store.Load(f.thumbnailFile);
    const QString target = f.dir.filePath("ThumbNail.copy");
    for (auto _ : state)
        store.Save(target);
    state.counters["entries"] = store.count();
}
BENCHMARK(BM_SaveThumbnailFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
