// Kill and full-disk tests of the JPEG stills and the ThumbNail file: whatever happens to the writer, the
// file is the old one or the new one.
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

#include "files/JpegEncoder.h"
#include "files/ThumbnailStore.h"
#include "imaging/DibImage.h"
#include "support/FileBytes.h"
#include "support/FullDisk.h"
#include "support/KillTest.h"

namespace {

// Noise over a gradient: a large JPEG, different for every seed.
void fillPicture(DibImage& image, uint32_t seed)
{
    std::mt19937 rng(seed);
    for (int32_t y = 0; y < image.height(); ++y) {
        uint8_t* row = image.bits() + int64_t(y) * image.stride();
        for (int32_t x = 0; x < image.width() * 3; ++x)
            row[x] = uint8_t((x + y) / 16 + rng() % 64);
    }
}

// A store of `count` entries named "pNNN.bmp", with thumbnails of noise from seed.
void fillStore(ThumbnailStore& store, const QString& folder, int count, uint32_t seed)
{
    DibImage thumb;
    ASSERT_TRUE(thumb.Create(ThumbnailStore::kThumbWidth, ThumbnailStore::kThumbHeight, 24));
    for (int i = 0; i < count; ++i) {
        fillPicture(thumb, seed + uint32_t(i));
        ASSERT_EQ(store.AddCopied(ThumbnailStore::PathIn(folder, QString::asprintf("p%03d.bmp", i)), thumb), 1);
    }
}

} // namespace

TEST(StillFilesKill, JpegIsOldOrNew)
{
    QTemporaryDir dir(killTestBase());
    ASSERT_TRUE(dir.isValid());
    DibImage oldPicture, newPicture;
    ASSERT_TRUE(oldPicture.Create(1024, 768, 24));
    ASSERT_TRUE(newPicture.Create(1024, 768, 24));
    fillPicture(oldPicture, 1);
    fillPicture(newPicture, 2);
    const QString path = dir.filePath("still.jpg");
    const KillCase c = killCaseOf(
        path, [&] { return EncodeJpeg(oldPicture, path); }, [&] { return EncodeJpeg(newPicture, path); });
    expectOldOrNew(runKillTries(c, 100, 31));
}

// Two hundred thumbnails (about 8.8 MB), every one different in the new file.
TEST(StillFilesKill, ThumbNailIsOldOrNew)
{
    QTemporaryDir dir(killTestBase());
    ASSERT_TRUE(dir.isValid());
    ThumbnailStore oldStore, newStore;
    fillStore(oldStore, dir.path(), 200, 1000);
    fillStore(newStore, dir.path(), 200, 2000);
    const QString path = ThumbnailStore::FileIn(dir.path());
    const KillCase c = killCaseOf(
        path, [&] { return oldStore.Save(path) == 1; }, [&] { return newStore.Save(path) == 1; });
    expectOldOrNew(runKillTries(c, 100, 41));
}

// A JPEG or ThumbNail file that does not fit on the disk is not written, says so, and leaves the old file and
// nothing else.
TEST(StillFilesKill, FullDiskKeepsTheOldFiles)
{
    QTemporaryDir scratch;
    DibImage small, big;
    ASSERT_TRUE(small.Create(32, 32, 24));
    ASSERT_TRUE(big.Create(1024, 768, 24));
    fillPicture(small, 5);
    fillPicture(big, 6);
    ASSERT_TRUE(EncodeJpeg(small, scratch.filePath("old.jpg")));
    const QByteArray oldJpeg = readBytes(scratch.filePath("old.jpg"));
    {
        FullDisk disk;
        ASSERT_TRUE(disk.setUp("still.jpg", oldJpeg, 65536));
        disk.expectRefused([&] { return EncodeJpeg(big, disk.path()); }, oldJpeg);
    }

    ThumbnailStore oldStore, newStore;
    fillStore(oldStore, scratch.path(), 1, 10);
    fillStore(newStore, scratch.path(), 4, 20);
    ASSERT_EQ(oldStore.Save(scratch.filePath("ThumbNail")), 1);
    const QByteArray oldThumbs = readBytes(scratch.filePath("ThumbNail"));
    FullDisk disk;
    ASSERT_TRUE(disk.setUp("ThumbNail", oldThumbs, 65536));
    disk.expectRefused([&] { return newStore.Save(disk.path()) == 1; }, oldThumbs);
}

// A killed writer's temporary ("<name>.XXXXXX") is never taken for a picture by the folder scan.
TEST(StillFilesKill, LeftoverTemporariesAreNoPictures)
{
    for (const char* name : { "a.bmp.Ab3xYz", "a.jpg.bmpbmp", "ThumbNail.q1w2e3", "x.bmp.jpg123" })
        EXPECT_FALSE(ThumbnailStore::IsPictureName(QString::fromLatin1(name))) << name;
}
