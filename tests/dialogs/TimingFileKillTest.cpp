// Kill and full-disk tests of timing files: whatever happens to the writer, the file is the old one or the
// new one.
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

#include "dialogs/TimingFile.h"
#include "support/FileBytes.h"
#include "support/FullDisk.h"
#include "support/KillTest.h"

namespace {

// A timing file of a camera model with many lines of notes, which a save keeps: a large file to rewrite.
QByteArray modelFile(int notes)
{
    std::string text = "[NX-GTK]\r\nTH=2200\r\nTV=1600\r\nEH=2048\r\nEV=1536\r\nEHS=0\r\nEVS=0\r\n";
    for (int i = 0; i < notes; ++i)
        text += "; note " + std::to_string(i) + std::string(60, char('a' + i % 26)) + "\r\n";
    return QByteArray::fromStdString(text);
}

const CameraTiming kNewTiming { 2300, 1700, 1024, 768, 16, 8 };

} // namespace

TEST(TimingFileKill, TimingFileIsOldOrNew)
{
    QTemporaryDir dir(killTestBase());
    ASSERT_TRUE(dir.isValid());
    KillCase c;
    c.path = dir.filePath("timing.ini");
    c.oldBytes = modelFile(12000);
    c.reset = [&] { writeBytes(c.path, c.oldBytes); };
    c.write = [&] { return TimingFile::Save(c.path, kNewTiming); };
    c.reset();
    ASSERT_TRUE(c.write());
    c.newBytes = readBytes(c.path);
    ASSERT_TRUE(c.newBytes.startsWith(c.oldBytes)); // the notes kept, our section added at the end
    expectOldOrNew(runKillTries(c, 100, 51));
}

// The section the save adds does not fit: the save fails and the old file stays, with nothing beside it.
TEST(TimingFileKill, FullDiskKeepsTheOldFile)
{
    const QByteArray old = modelFile(100);
    FullDisk disk;
    ASSERT_TRUE(disk.setUp("timing.ini", old, 16)); // a tmpfs has no page for the temporary
    disk.expectRefused([&] { return TimingFile::Save(disk.path(), kNewTiming); }, old);
}
