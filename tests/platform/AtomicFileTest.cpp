// Files replaced whole or not at all: every failure leaves the old file and no temporary, and a folder that
// takes no new files refuses the write instead of rewriting the file in place.
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/AtomicFile.h"
#include "support/FileBytes.h"
#include "support/FileSizeLimit.h"

namespace {

QStringList namesIn(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Makes a folder refuse new files while its files stay writable, as a folder may where only the owner of a
// file lets us rewrite it: immutable as root (which ignores permissions), read-only otherwise. Undone on
// destruction.
class ClosedFolder {
public:
    explicit ClosedFolder(const QString& path)
        : m_Path(QFile::encodeName(path))
    {
        if (geteuid() == 0) {
            const int fd = open(m_Path.constData(), O_RDONLY | O_DIRECTORY);
            int flags = 0;
            m_Immutable = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0
                && ioctl(fd, FS_IOC_SETFLAGS, &(flags |= FS_IMMUTABLE_FL)) == 0;
            if (fd >= 0)
                close(fd);
        } else {
            chmod(m_Path.constData(), 0555);
        }
    }
    ~ClosedFolder()
    {
        if (m_Immutable) {
            const int fd = open(m_Path.constData(), O_RDONLY | O_DIRECTORY);
            int flags = 0;
            if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ioctl(fd, FS_IOC_SETFLAGS, &flags);
            }
            if (fd >= 0)
                close(fd);
        } else {
            chmod(m_Path.constData(), 0755);
        }
    }
    // Whether a new file really cannot be made there.
    bool closed() const
    {
        QFile probe(QFile::decodeName(m_Path) + "/probe");
        if (!probe.open(QIODevice::WriteOnly))
            return true;
        probe.remove();
        return false;
    }

private:
    QByteArray m_Path;
    bool m_Immutable = false;
};

} // namespace

// Pieces written one after the other make the new file; nothing is visible until commit, and commit
// replaces the old file.
TEST(AtomicFile, PiecesReplaceTheFileOnlyAtCommit)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("f");
    writeBytes(path, "old");
    AtomicFile file(path);
    EXPECT_TRUE(file.write("new ", 4));
    EXPECT_TRUE(file.write(QByteArray("content")));
    EXPECT_TRUE(file.write(nullptr, 0));
    EXPECT_EQ(readBytes(path), "old");
    EXPECT_TRUE(file.commit());
    EXPECT_EQ(readBytes(path), "new content");
    EXPECT_FALSE(file.commit()) << "a second commit has nothing to replace";
    EXPECT_EQ(namesIn(dir), QStringList { "f" });
}

// A folder that takes no new files, a missing folder, an empty name and a write past the file-size limit
// all fail, keep the old file as it was and leave no temporary.
TEST(AtomicFile, FailuresKeepTheOldFileAndLeaveNoTemporary)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("f");
    writeBytes(path, "old");
    {
        ClosedFolder closed(dir.path());
        if (closed.closed()) {
            // The file itself is writable: rewriting it in place would have "worked".
            QFile direct(path);
            ASSERT_TRUE(direct.open(QIODevice::ReadWrite));
            direct.close();
            EXPECT_FALSE(WriteFileAtomically(path, "new", 3));
            EXPECT_EQ(readBytes(path), "old");
        } else {
            ADD_FAILURE() << "could not make a folder that refuses new files";
        }
    }
    EXPECT_FALSE(WriteFileAtomically(dir.filePath("missing/f"), "new", 3));
    EXPECT_FALSE(WriteFileAtomically(QString(), "new", 3));

    // A large write fails at once; a small one only when its buffer is written at commit, which must still
    // fail rather than put an empty file in place.
    const QByteArray big(200000, 'x');
    bool bigResult = true, smallResult = true;
    {
        FileSizeLimit limit(50000);
        ASSERT_TRUE(limit.ok());
        AtomicFile file(path);
        file.write(big);
        EXPECT_FALSE(file.write("tail", 4)) << "writes after a failure are skipped";
        bigResult = file.commit();
    }
    {
        FileSizeLimit limit(100);
        ASSERT_TRUE(limit.ok());
        AtomicFile file(path);
        EXPECT_TRUE(file.write(QByteArray(1000, 's'))) << "still in the buffer";
        smallResult = file.commit();
    }
    EXPECT_FALSE(bigResult);
    EXPECT_FALSE(smallResult);
    EXPECT_EQ(readBytes(path), "old");
    EXPECT_EQ(namesIn(dir), QStringList { "f" });
    EXPECT_TRUE(WriteFileAtomically(path, big.constData(), big.size())); // without the limit it succeeds
}
