// Camera timing files and the Camera Setting dialog's values: which section wins, the exact text a save
// leaves beside other content, files that must be refused, and the bounds and clock rule of the fields.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "dialogs/CameraSetModel.h"
#include "dialogs/TimingFile.h"
#include "platform/PrivateProfile.h"
#include "support/FileBytes.h"

TEST(TimingFile, Load_ModelSectionsInOrderOverOurOwnSection)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("model.ini");
    // EH: NX-BOYZK first, NX-LDHNZE last; EV only in our own section; EHS in ours and in a model section
    // (which wins even though it comes first in the file); TH nowhere.
    writeBytes(path,
        "[NX-LDHNZE]\nEH=1280\n"
        "[NX-GTE]\nehs=32\n"
        "[NX-BOYZK]\nEH=640\n"
        "[NX-QB740LE]\nEV=960\nEHS=16\nEVS=8\n");
    CameraTiming t { 1, 2, 3, 4, 5, 6 };
    ASSERT_TRUE(TimingFile::Load(path, t));
    EXPECT_EQ(t, (CameraTiming { 1, 2, 1280, 960, 32, 8 }));

    // No known section: every value as it was.
    writeBytes(path, "[OTHER]\nEH=5\n");
    t = { 1, 2, 3, 4, 5, 6 };
    EXPECT_TRUE(TimingFile::Load(path, t));
    EXPECT_EQ(t, (CameraTiming { 1, 2, 3, 4, 5, 6 }));
    // No file: the same, and reported.
    EXPECT_FALSE(TimingFile::Load(dir.filePath("missing.ini"), t));
    EXPECT_EQ(t, (CameraTiming { 1, 2, 3, 4, 5, 6 }));
}

TEST(TimingFile, Save_ExactTextKeepsEverythingElseAndLoadsAgain)
{
    QTemporaryDir dir;
    const QString fresh = dir.filePath("fresh.ini");
    const CameraTiming t { 2048, 1536, 640, 480, 704, -1 };
    ASSERT_TRUE(TimingFile::Save(fresh, t));
    EXPECT_EQ(readBytes(fresh), QByteArray("[NX-QB740LE]\nTH=2048\nTV=1536\nEH=640\nEV=480\nEHS=704\nEVS=-1\n"));
    CameraTiming back;
    ASSERT_TRUE(TimingFile::Load(fresh, back));
    EXPECT_EQ(back, t);

    // A file with other sections, comments and a key of ours already there: that key changes in place, the
    // others join the end of our section, nothing else moves.
    const QString shared = dir.filePath("shared.ini");
    writeBytes(shared,
        "; timings for the bench\r\n[NX-GTK]\r\nEH=320\r\n\r\n[nx-qb740le]\r\nEV = 7\r\nNote=keep\r\n[Z]\r\nq=1\r\n");
    ASSERT_TRUE(TimingFile::Save(shared, t));
    EXPECT_EQ(readBytes(shared),
        QByteArray("; timings for the bench\r\n[NX-GTK]\r\nEH=320\r\n\r\n[nx-qb740le]\r\nEV=480\r\nNote=keep\r\n"
                   "TH=2048\r\nTV=1536\r\nEH=640\r\nEHS=704\r\nEVS=-1\r\n[Z]\r\nq=1\r\n"));
    // Loading it again: the model section's EH wins over ours.
    ASSERT_TRUE(TimingFile::Load(shared, back));
    EXPECT_EQ(back, (CameraTiming { 2048, 1536, 320, 480, 704, -1 }));
}

TEST(TimingFile, OversizedOrNoRegularFile_RefusedWithoutHarm)
{
    QTemporaryDir dir;
    const CameraTiming before { 1, 2, 3, 4, 5, 6 };

    // Our section with a valid entry, then one endless line: nothing is read and nothing replaced.
    const QString big = dir.filePath("big.ini");
    QByteArray bytes = "[NX-QB740LE]\nEH=5\nx=";
    bytes.append(QByteArray(int(ProfileFile::kMaxFileBytes), 'a'));
    writeBytes(big, bytes);
    CameraTiming t = before;
    EXPECT_FALSE(TimingFile::Load(big, t));
    EXPECT_EQ(t, before);
    EXPECT_FALSE(TimingFile::Save(big, before));
    EXPECT_EQ(readBytes(big), bytes);

    // A named pipe: read as no file at once (no wait for a writer), and not replaced by a regular file.
    const QString fifo = dir.filePath("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    EXPECT_FALSE(TimingFile::Load(fifo, t));
    EXPECT_FALSE(TimingFile::Save(fifo, before));
    EXPECT_FALSE(QFileInfo(fifo).isFile());
    EXPECT_TRUE(QFileInfo::exists(fifo));

    // A folder: the same.
    const QString folder = dir.filePath("folder.ini");
    ASSERT_TRUE(QDir().mkdir(folder));
    EXPECT_FALSE(TimingFile::Load(folder, t));
    EXPECT_FALSE(TimingFile::Save(folder, before));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(t, before);
}

TEST(CameraSetModel, FieldsHeldWithinTheirRanges_OpenedTypedAndLoaded)
{
    CameraSetValues v;
    v.TH = 70000, v.TV = -3, v.EH = 100000, v.EV = 2147483647, v.EHS = -2147483647 - 1, v.EVS = 1600;
    v.timer = -1, v.BufSize = 12;
    CameraSetModel m(v);
    EXPECT_EQ(m.values().TH, 65535);
    EXPECT_EQ(m.values().TV, 0);
    EXPECT_EQ(m.values().EH, 2048);
    EXPECT_EQ(m.values().EV, 1536);
    EXPECT_EQ(m.values().EHS, 0);
    EXPECT_EQ(m.values().EVS, 1535);
    EXPECT_EQ(m.values().timer, 0);
    EXPECT_EQ(m.values().BufSize, 12);

    // Typed: the field's own bounds, whatever the number's size.
    m.setValue(CameraSetModel::kFields[2], int64_t(1) << 40);
    EXPECT_EQ(m.values().EH, 2048);
    m.setValue(CameraSetModel::kFields[2], 1000);
    EXPECT_EQ(m.values().EH, 1000);

    // Loaded: a file's absurd window is bounded too; a key it lacks keeps the held value.
    QTemporaryDir dir;
    const QString path = dir.filePath("absurd.ini");
    writeBytes(path, "[NX-WPJA]\nEH=99999999999\nEV=-7\nEHS=640\n");
    ASSERT_TRUE(m.load(path));
    EXPECT_EQ(m.values().EH, 2048); // 99999999999 wraps around as the profile functions read it: still held
    EXPECT_EQ(m.values().EV, 0);
    EXPECT_EQ(m.values().EHS, 640);
    EXPECT_EQ(m.values().EVS, 1535);
    EXPECT_EQ(m.values().timer, 0);
}

TEST(CameraSetModel, ClockListWithoutSelectionKeepsTheHeldClock)
{
    CameraSetValues v;
    v.Clock = 5;
    CameraSetModel m(v);
    EXPECT_EQ(m.values().Clock, 5);
    EXPECT_EQ(m.clockIndex(), -1);
    m.selectClock(-1);
    EXPECT_EQ(m.values().Clock, 5);
    m.selectClock(1);
    EXPECT_EQ(m.values().Clock, 1);
    EXPECT_EQ(m.clockIndex(), 1);
    m.selectClock(0);
    EXPECT_EQ(m.clockIndex(), 0);
}
