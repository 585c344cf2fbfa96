// The single-instance lock over QLockFile, which recognises locks of processes that are gone.
#include "platform/SingleInstance.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

SingleInstance::SingleInstance(const QString& name, const QString& folder)
{
    QString dir = folder;
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    QDir().mkpath(dir);
    m_Path = QDir(dir).filePath(name + ".lock");
    m_Lock = std::make_unique<QLockFile>(m_Path);
    // The lock is held for hours: never call it stale by age, only when its owner is gone.
    m_Lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::tryAcquire()
{
    if (m_Held)
        return true;
    m_Held = m_Lock->tryLock(0);
    // No lock can be made there at all (a folder that cannot be written, say): that tells nothing of another
    // copy, and refusing would keep the viewer from ever starting. Run without the lock.
    if (!m_Held && (m_Lock->error() == QLockFile::PermissionError || m_Lock->error() == QLockFile::UnknownError))
        return true;
    if (!m_Held && m_Lock->error() == QLockFile::LockFailedError) {
        // A lock file without a readable owner (cut short by a crash while it was written) would block every
        // later start, because its age no longer counts: take it as stale.
        qint64 pid = 0;
        QString host, app;
        if (!m_Lock->getLockInfo(&pid, &host, &app) && m_Lock->removeStaleLockFile())
            m_Held = m_Lock->tryLock(0);
    }
    return m_Held;
}
