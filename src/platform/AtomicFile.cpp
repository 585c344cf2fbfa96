#include "platform/AtomicFile.h"

#include <cerrno>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

AtomicFile::AtomicFile(const QString& fileName)
    : m_File(fileName)
{
    // No direct-write fallback: without a temporary the old file would be truncated before the new bytes
    // are written, and a failure half way would lose both.
    m_File.setDirectWriteFallback(false);
    m_Ok = !fileName.isEmpty() && m_File.open(QIODevice::WriteOnly);
}

bool AtomicFile::write(const void* data, qint64 size)
{
    if (!m_Ok)
        return false;
    if (size < 0 || (size > 0 && !data)) {
        m_Ok = false;
        return false;
    }
    // QFileDevice::write loops until every byte is taken or an error occurs; anything short is a failure.
    m_Ok = size == 0 || m_File.write(static_cast<const char*>(data), size) == size;
    return m_Ok;
}

bool AtomicFile::syncToDisk()
{
#ifdef Q_OS_UNIX
    // A file system that reports a lost write only now (a network one, a full thin disk) fails the save;
    // QSaveFile syncs too but ignores the answer. One that cannot sync at all is no failure.
    const int fd = m_File.handle();
    return fd < 0 || fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
#else
    return true;
#endif
}

bool AtomicFile::commit()
{
    if (!m_Ok) {
        if (m_File.isOpen()) {
            m_File.cancelWriting();
            m_File.commit(); // a cancelled commit only removes the temporary
        }
        return false;
    }
    m_Ok = false; // a second commit has nothing to replace
    // The last buffered bytes are written here, not left to commit: QSaveFile's commit ignores an error of
    // that final write and would put a cut-short file in place (a small file on a full disk, empty).
    if (!m_File.flush() || !syncToDisk()) {
        m_File.cancelWriting();
        m_File.commit();
        return false;
    }
    return m_File.commit();
}

bool WriteFileAtomically(const QString& fileName, const void* data, qint64 size)
{
    AtomicFile file(fileName);
    file.write(data, size);
    return file.commit();
}
