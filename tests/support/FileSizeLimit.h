// Lowers the process's file size limit for the life of the object, so that writing past it fails (instead of
// raising SIGXFSZ) and the writers' failure paths can be tested without filling a disk.
#pragma once

#include <csignal>

#include <sys/resource.h>

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_Ok = getrlimit(RLIMIT_FSIZE, &m_Saved) == 0;
        m_OldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_Saved;
        limited.rlim_cur = bytes;
        m_Ok = m_Ok && setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_Saved);
        std::signal(SIGXFSZ, m_OldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // Whether the limit is in force.
    bool ok() const { return m_Ok; }

private:
    rlimit m_Saved {};
    void (*m_OldHandler)(int) = nullptr;
    bool m_Ok = false;
};
