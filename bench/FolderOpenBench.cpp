// Opening a save folder of 500 saved pictures, from the folder's choice to the strip drawn: the switch
// (the old folder's ThumbNail file written, the new one's loaded, the folder scanned for pictures the file
// lacks) and the strip painted into a window-sized bitmap. Once with no ThumbNail file (every picture
// decoded and reduced by the scan, on every core) and once with it; and the first thumbnail's arrival.
#include <benchmark/benchmark.h>

#include "OffscreenMain.h"

#include <QFile>
#include <QGuiApplication>

#include <chrono>
#include <thread>

#include "files/SaveFolder.h"
#include "files/ThumbnailGrid.h"
#include "files/ThumbnailPainter.h"
#include "imaging/Dc.h"
#include "SavedPictures.h"

namespace {

// The strip of a main window 1100 pixels wide: seven thumbnails.
constexpr Rect kStrip { 0, 0, 1030, 140 };

void openAndDraw(benchmark::State& state, bool withThumbnailFile)
{
    bench::SaveFolder& pictures = bench::folder();
    QTemporaryDir previous; // the folder the store described before, empty
    DibImage window, skin;
    window.Create(kStrip.width(), kStrip.height(), 24);
    skin.Create(200, 200, 24);
    skin.Fill(nullptr, Rgb(90, 90, 110));
    const QString thumbnailFile = pictures.thumbnailFile;
    const QString keptFile = thumbnailFile + ".kept";
    QFile::remove(keptFile);
    QFile::copy(thumbnailFile, keptFile);
    int entries = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(thumbnailFile);
        if (withThumbnailFile)
            QFile::copy(keptFile, thumbnailFile);
        ThumbnailStore store;
        store.setSaveFolder(previous.path());
        state.ResumeTiming();

        SaveFolder(store).SwitchTo(pictures.dir.path());
        Dc dc(window);
        DrawThumbnailStrip(dc, ThumbnailGrid(), kStrip, 0, store, skin);
        entries = store.count();
    }
    QFile::remove(thumbnailFile);
    QFile::rename(keptFile, thumbnailFile);
    state.counters["entries"] = entries;
    state.counters["hardware_threads"] = std::thread::hardware_concurrency();
}

void BM_OpenFolderScanFromNothing(benchmark::State& state)
{
    openAndDraw(state, false);
}
BENCHMARK(BM_OpenFolderScanFromNothing)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// The window's way: the scan left running, the strip drawn as soon as its first thumbnail is in. The time
// is the first drawing's; the rest of the scan is then cancelled.
void BM_OpenFolderFirstThumbnailDrawn(benchmark::State& state)
{
    bench::SaveFolder& pictures = bench::folder();
    QTemporaryDir previous;
    DibImage window, skin;
    window.Create(kStrip.width(), kStrip.height(), 24);
    skin.Create(200, 200, 24);
    const QString keptFile = pictures.thumbnailFile + ".kept";
    QFile::rename(pictures.thumbnailFile, keptFile);
    for (auto _ : state) {
        state.PauseTiming();
        ThumbnailStore store;
        store.setSaveFolder(previous.path());
        state.ResumeTiming();
        SaveFolder(store).SwitchTo(pictures.dir.path(), SaveFolder::Scan::Background);
        while (store.TakeScanned() == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        Dc dc(window);
        DrawThumbnailStrip(dc, ThumbnailGrid(), kStrip, 0, store, skin);
        state.PauseTiming();
        store.Clear();
        state.ResumeTiming();
    }
    QFile::rename(keptFile, pictures.thumbnailFile);
}
BENCHMARK(BM_OpenFolderFirstThumbnailDrawn)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_OpenFolderWithThumbnailFile(benchmark::State& state)
{
    openAndDraw(state, true);
}
BENCHMARK(BM_OpenFolderWithThumbnailFile)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

// The labels need fonts, and fonts a GUI application: on the offscreen platform.
int main(int argc, char** argv)
{
    return runOffscreenBenchmarks<QGuiApplication>(argc, argv);
}
