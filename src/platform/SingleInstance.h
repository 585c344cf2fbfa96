// Admits one running copy of the viewer: a lock file of a fixed name in the user's runtime folder, held for
// the life of the process. A lock left by a copy that crashed, or one that cannot be read, does not count.
#pragma once

#include <QString>

#include <memory>

class QLockFile;

class SingleInstance {
public:
    // folder: where the lock lives; empty means the user's runtime folder.
    explicit SingleInstance(const QString& name, const QString& folder = QString());
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process now holds the lock (or already did), or when no lock can be made at all; false
    // while another running copy holds it.
    bool tryAcquire();
    QString lockPath() const { return m_Path; }

private:
    QString m_Path;
    std::unique_ptr<QLockFile> m_Lock;
    bool m_Held = false;
};
