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

void fillNoise(DibImage& image, uint32_t seed)
{
    std::mt19937 rng(seed);
    for (int64_t i = 0; i < image.byteSize(); ++i)
        image.bits()[i] = uint8_t(rng());
}

} // namespace

// Two 2048 x 1536 pictures of different noise: a mixture or a truncation of their files cannot pass.
TEST(DibImageKill, FullSizeBmpIsOldOrNew)
{
    QTemporaryDir dir(killTestBase());
    ASSERT_TRUE(dir.isValid());
    DibImage oldPicture, newPicture;
    ASSERT_TRUE(oldPicture.Create(2048, 1536, 24));
    ASSERT_TRUE(newPicture.Create(2048, 1536, 24));
    fillNoise(oldPicture, 1);
    fillNoise(newPicture, 2);
    KillCase c;
    c.path = dir.filePath("still.bmp");
    ASSERT_TRUE(newPicture.SaveBmp(c.path));
    c.newBytes = readBytes(c.path);
    ASSERT_TRUE(oldPicture.SaveBmp(c.path));
    c.oldBytes = readBytes(c.path);
    ASSERT_EQ(c.oldBytes.size(), c.newBytes.size());
    c.reset = [&] { writeBytes(c.path, c.oldBytes); };
    c.write = [&] { return newPicture.SaveBmp(c.path) == 1; };
    expectOldOrNew(runKillTries(c, 100, 21));
}

// A BMP that does not fit on the disk is not written, says so, and leaves the old file and nothing else.
TEST(DibImageKill, FullDiskKeepsTheOldBmp)
{
    DibImage small, big;
    ASSERT_TRUE(small.Create(16, 16, 24));
    ASSERT_TRUE(big.Create(640, 480, 24));
    fillNoise(small, 3);
    fillNoise(big, 4);
    QTemporaryDir scratch;
    ASSERT_TRUE(small.SaveBmp(scratch.filePath("old.bmp")));
    const QByteArray old = readBytes(scratch.filePath("old.bmp"));

    FullDisk disk;
    ASSERT_TRUE(disk.setUp("still.bmp", old, 65536));
    const std::optional<bool> written = disk.run([&] { return big.SaveBmp(disk.path()) == 1; });
    ASSERT_TRUE(written.has_value()) << disk.way();
    EXPECT_FALSE(*written) << disk.way();
    EXPECT_EQ(readBytes(disk.path()), old) << disk.way();
    EXPECT_EQ(disk.names(), QStringList { "still.bmp" }) << disk.way();
}
