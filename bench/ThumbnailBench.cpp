// Speed of the thumbnail store on a save folder of 500 camera frames (2048 x 1536, half BMP, half JPEG),
// generated once in a temporary folder: ScanFolder from nothing (every picture decoded in full and
// reduced), and Load of the ThumbNail file that the scan leads to; and opening one large picture.
#include <benchmark/benchmark.h>

#include "SavedPictures.h"

#include "files/OpenPicture.h"
#include "files/PngFile.h"
#include "imaging/Kernels.h"

using bench::folder;
using bench::SaveFolder;

namespace {

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

// A saved 2048 x 1536 picture opened from the strip or the browser: decoded (OpenPicture) and reduced to
// a 1024 x 768 view, as the window shows it fitted. Argument 0: the folder's first JPEG, 1: a PNG of it.
void BM_OpenLargePicture(benchmark::State& state)
{
    SaveFolder& f = folder();
    QString path = f.dir.filePath("0001.jpg");
    if (state.range(0) == 1) {
        DibImage picture;
        OpenPicture(path, picture);
        path = f.dir.filePath("large.png");
        WritePng(path, picture, PictureTags {});
    }
    DibImage picture, view;
    view.Create(1024, 768, 24);
    for (auto _ : state) {
        if (!OpenPicture(path, picture)) {
            state.SkipWithError("not opened");
            break;
        }
        view.ApplyScaled(ScaleRgb, picture, nullptr, nullptr, nullptr, nullptr);
    }
    state.SetLabel(state.range(0) == 1 ? "png" : "jpeg");
}
BENCHMARK(BM_OpenLargePicture)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
