// Full-disk tests of the file writers: a folder holding the old file with only a little room to spare. As root
// it is a tmpfs of that size mounted for the test (a real "no space left on device"); elsewhere it is a plain
// folder and the write runs in a child process under a file-size limit (SIGXFSZ ignored, so the write fails
// with EFBIG). NX_FULL_DISK=limit forces the second way where both are possible.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/FileSizeLimit.h"

class FullDisk {
public:
    FullDisk() = default;
    ~FullDisk()
    {
        if (m_Mounted)
            umount2(QFile::encodeName(m_Dir.path()).constData(), MNT_DETACH);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    // Puts oldBytes at name in a folder with `room` bytes to spare (a tmpfs rounds to whole pages, down here).
    // False when no such folder could be made.
    bool setUp(const QString& name, const QByteArray& oldBytes, qint64 room)
    {
        if (!m_Dir.isValid())
            return false;
        m_Path = m_Dir.filePath(name);
        m_Limit = oldBytes.size() + room;
        if (qgetenv("NX_FULL_DISK") != "limit") {
            const qint64 page = sysconf(_SC_PAGESIZE);
            const qint64 size = std::max(page, (oldBytes.size() + page - 1) / page * page + room / page * page);
            const QByteArray options = "size=" + QByteArray::number(size);
            m_Mounted = mount("tmpfs", QFile::encodeName(m_Dir.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                            options.constData())
                == 0;
        }
        QFile f(m_Path);
        return f.open(QIODevice::WriteOnly) && f.write(oldBytes) == oldBytes.size();
    }

    QString path() const { return m_Path; }
    QString folder() const { return m_Dir.path(); }
    bool onTmpfs() const { return m_Mounted; }
    const char* way() const { return m_Mounted ? "tmpfs" : "file-size limit"; }

    // Runs write with the disk full and gives its answer; nullopt when the child could not be run.
    std::optional<bool> run(const std::function<bool()>& write) const
    {
        if (m_Mounted)
            return write();
        std::fflush(nullptr); // nothing buffered may be written twice
        const pid_t pid = fork();
        if (pid < 0)
            return std::nullopt;
        if (pid == 0) {
            FileSizeLimit limit { rlim_t(m_Limit) };
            _exit(limit.ok() ? (write() ? 0 : 1) : 2);
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
        if (!WIFEXITED(status) || WEXITSTATUS(status) > 1)
            return std::nullopt;
        return WEXITSTATUS(status) == 0;
    }

    // The names in the folder, to see that no temporary was left behind.
    QStringList names() const { return QDir(m_Dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    // The verdict every kind shares: write fails and says so, and the old file stays, alone.
    void expectRefused(const std::function<bool()>& write, const QByteArray& oldBytes) const
    {
        const std::optional<bool> written = run(write);
        ASSERT_TRUE(written.has_value()) << way();
        EXPECT_FALSE(*written) << way();
        QFile f(m_Path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly) && f.readAll() == oldBytes) << way() << ": the old file changed";
        EXPECT_EQ(names(), QStringList { QFileInfo(m_Path).fileName() }) << way();
    }

private:
    QTemporaryDir m_Dir;
    QString m_Path;
    qint64 m_Limit = 0;
    bool m_Mounted = false;
};
