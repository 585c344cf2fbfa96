// Speed of the thumbnail store on a save folder of 500 camera frames (2048 x 1536, half BMP, half JPEG),
// generated once in a temporary folder: ScanFolder from nothing (every picture decoded in full and
// reduced), and Load of the ThumbNail file that the scan leads to.
#include <benchmark/benchmark.h>

#include "SavedPictures.h"

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

} // namespace

BENCHMARK_MAIN();
