// Kill and full-disk tests of CSV appends: the bytes already in the file are never altered.
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "measure/CsvExport.h"
#include "support/FileBytes.h"
#include "support/FullDisk.h"
#include "support/KillTest.h"

namespace {

// Rows with long texts: the export is mostly bytes to write rather than numbers to format.
std::vector<CsvExport::Row> manyRows(int count, const QString& unit, int typeLength = 6)
{
    std::vector<CsvExport::Row> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back(
            { QString::number(i), QString(typeLength, QChar(u'a' + i % 26)), QString::number(i * 1.25, 'f', 3), unit });
    return rows;
}

} // namespace

// The whole export is appended in one write, so a kill leaves the old bytes and the export or, when the
// kernel cut that write short, the old bytes and the start of the export; never a change to what was there.
TEST(CsvExportKill, AppendKeepsTheOldBytes)
{
    QTemporaryDir dir(killTestBase());
    ASSERT_TRUE(dir.isValid());
    KillCase c;
    c.path = dir.filePath("result.csv");
    c.oldBytes = CsvExport::Format(manyRows(200, "mm"), false);
    const std::vector<CsvExport::Row> rows = manyRows(2000, "um", 2000);
    c.newBytes = c.oldBytes + CsvExport::Format(rows, false);
    c.reset = [&] { writeBytes(c.path, c.oldBytes); };
    c.write = [&] { return CsvExport::Write(c.path, rows, false) == 1; };
    const KillTally t = runKillTries(c, 100, 61);
    EXPECT_EQ(t.other, 0);
    EXPECT_EQ(t.failed, 0);
    EXPECT_EQ(t.old + t.fresh + t.partial, t.tries);
    EXPECT_GT(t.killedWriting, 0) << "no kill landed during the write";
}

// An export that does not fit fails and leaves the file exactly as it was: no part of a line at its end. A
// new file that cannot be written whole is not left behind.
TEST(CsvExportKill, FullDiskKeepsTheFileAsItWas)
{
    const QByteArray old = CsvExport::Format(manyRows(150, "mm"), false);
    const std::vector<CsvExport::Row> rows = manyRows(2000, "um");
    {
        FullDisk disk;
        ASSERT_TRUE(disk.setUp("result.csv", old, 8192));
        disk.expectRefused([&] { return CsvExport::Write(disk.path(), rows, false) == 1; }, old);
    }
    FullDisk disk;
    ASSERT_TRUE(disk.setUp("old.csv", old, 8192));
    const QString fresh = disk.folder() + "/new.csv";
    const std::optional<bool> written = disk.run([&] { return CsvExport::Write(fresh, rows, false) == 1; });
    ASSERT_TRUE(written.has_value()) << disk.way();
    EXPECT_FALSE(*written) << disk.way();
    EXPECT_EQ(disk.names(), QStringList { "old.csv" }) << disk.way();
}
