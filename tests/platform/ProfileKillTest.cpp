// Kill and full-disk tests of the settings file: whatever happens to the writer, the file is the old one or
// the new one.
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

#include "platform/PrivateProfile.h"
#include "support/FileBytes.h"
#include "support/FullDisk.h"
#include "support/KillTest.h"

// The settings file (written as the program writes it: loaded, changed, saved) is the old file or the new
// one whenever the writer is killed.
TEST(ProfileKill, SettingsFileIsOldOrNew)
{
    QTemporaryDir dir(killTestBase());
    ASSERT_TRUE(dir.isValid());
    // Thousands of keys, every value different in the new file, so a mixture of the two cannot pass.
    std::string old = "[Main]\r\n";
    for (int i = 0; i < 8000; ++i)
        old += "Key" + std::to_string(i) + "=old " + std::string(40, char('a' + i % 26)) + "\r\n";
    KillCase c;
    c.path = dir.filePath("NxQb740Le.ini");
    c.oldBytes = QByteArray::fromStdString(old);
    c.reset = [&] { writeBytes(c.path, c.oldBytes); };
    c.reset();
    ProfileFile next;
    ASSERT_TRUE(next.load(c.path));
    for (int i = 0; i < 8000; ++i)
        ASSERT_TRUE(next.setValue("Main", "Key" + std::to_string(i), "new " + std::to_string(i * 7)));
    next.setValue("Other", "Added", "1");
    c.newBytes = QByteArray::fromStdString(next.text());
    c.write = [&] { return next.save(c.path); };
    expectOldOrNew(runKillTries(c, 100, 11));
}

// With the disk full a profile write fails, says so, and leaves the old file and nothing else: a large value,
// written at once, and a small one, which reaches the file only when its buffer is written at the end.
TEST(ProfileKill, FullDiskKeepsTheOldFile)
{
    const QByteArray old = "[Main]\r\nName=kept\r\n";
    for (const auto& [room, valueBytes] : { std::pair { 16384, 100000 }, std::pair { 16, 3000 } }) {
        FullDisk disk;
        ASSERT_TRUE(disk.setUp("NxQb740Le.ini", old, room));
        const std::string value(size_t(valueBytes), 'v');
        disk.expectRefused(
            [&] { return WritePrivateProfileStringA("Main", "Big", value.c_str(), disk.path()) != 0; }, old);
    }
}
