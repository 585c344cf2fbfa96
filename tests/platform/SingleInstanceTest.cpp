// The single-instance lock: a second holder is refused while the first lives; a lock left behind by a
// process that is gone, or one that cannot be read, does not block.
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "platform/SingleInstance.h"

TEST(SingleInstance, SecondHolderRefusedUntilFirstEnds)
{
    QTemporaryDir dir;
    auto first = std::make_unique<SingleInstance>("NX-QB740LE", dir.path());
    ASSERT_TRUE(first->tryAcquire());
    EXPECT_TRUE(first->tryAcquire()); // asking again keeps it
    {
        SingleInstance second("NX-QB740LE", dir.path());
        EXPECT_FALSE(second.tryAcquire());
    }
    EXPECT_TRUE(QFile::exists(first->lockPath())); // the refused copy left the first one's lock alone
    first.reset();
    SingleInstance third("NX-QB740LE", dir.path());
    EXPECT_TRUE(third.tryAcquire());
}

TEST(SingleInstance, StaleLockOfEndedProcessIsTakenOver)
{
    QTemporaryDir dir;
    // The pid of a process that has certainly ended.
    QProcess p;
    p.start("true");
    ASSERT_TRUE(p.waitForStarted());
    const qint64 deadPid = p.processId();
    ASSERT_TRUE(p.waitForFinished());
    SingleInstance probe("NX-QB740LE", dir.path());
    QFile lock(probe.lockPath());
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(deadPid) + "\n" + QCoreApplication::applicationName().toUtf8() + "\n"
        + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    EXPECT_TRUE(probe.tryAcquire());
}

TEST(SingleInstance, UnreadableLockFileDoesNotBlock)
{
    QTemporaryDir dir;
    SingleInstance probe("NX-QB740LE", dir.path());
    QFile lock(probe.lockPath());
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly)); // empty: the owner crashed before writing its pid
    lock.close();
    EXPECT_TRUE(probe.tryAcquire());
}

TEST(SingleInstance, NoPlaceForTheLock_DoesNotRefuseTheStart)
{
    QTemporaryDir dir;
    // The lock's folder is taken by a plain file: no lock can be made, and no other copy holds one.
    const QString notAFolder = dir.filePath("file");
    QFile file(notAFolder);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    SingleInstance probe("NX-QB740LE", notAFolder);
    EXPECT_TRUE(probe.tryAcquire());
}
