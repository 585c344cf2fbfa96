// Kill and full-disk tests of BMP stills: a full-size picture's file is the old one or the new one, whatever
// happens to the writer.
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

#include "imaging/DibImage.h"
#include "support/FileBytes.h"
#include "support/FullDisk.h"
#include "support/KillTest.h"

namespace {

// Makes image a 24-bit picture of noise.
bool makeNoise(DibImage& image, int32_t width, int32_t height, uint32_t seed)
{
    if (!image.Create(width, height, 24))
        return false;
    std::mt19937 rng(seed);
    for (int64_t i = 0; i < image.byteSize(); ++i)
        image.bits()[i] = uint8_t(rng());
    return true;
}

} // namespace

// Two 2048 x 1536 pictures of different noise: a mixture or a truncation of their files cannot pass.
TEST(DibImageKill, FullSizeBmpIsOldOrNew)
{
    QTemporaryDir dir(killTestBase());
    ASSERT_TRUE(dir.isValid());
    DibImage oldPicture, newPicture;
    ASSERT_TRUE(makeNoise(oldPicture, 2048, 1536, 1) && makeNoise(newPicture, 2048, 1536, 2));
    const QString path = dir.filePath("still.bmp");
    const KillCase c = killCaseOf(
        path, [&] { return oldPicture.SaveBmp(path) == 1; }, [&] { return newPicture.SaveBmp(path) == 1; });
    ASSERT_EQ(c.oldBytes.size(), c.newBytes.size());
    expectOldOrNew(runKillTries(c, 100, 21));
}

// A BMP that does not fit on the disk is not written, says so, and leaves the old file and nothing else.
TEST(DibImageKill, FullDiskKeepsTheOldBmp)
{
    DibImage small, big;
    ASSERT_TRUE(makeNoise(small, 16, 16, 3) && makeNoise(big, 640, 480, 4));
    QTemporaryDir scratch;
    ASSERT_TRUE(small.SaveBmp(scratch.filePath("old.bmp")));
    const QByteArray old = readBytes(scratch.filePath("old.bmp"));

    FullDisk disk;
    ASSERT_TRUE(disk.setUp("still.bmp", old, 65536));
    disk.expectRefused([&] { return big.SaveBmp(disk.path()) == 1; }, old);
}
