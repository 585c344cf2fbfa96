// Files written whole or not at all. The bytes go to a temporary beside the file, which is synced and renamed
// over it only once every byte is there: a crash, a kill or a full disk at any point leaves either the old file
// or the new one. A folder where no temporary can be made fails the write; the file is never rewritten in
// place, since that would truncate the old content before the new one is safe.
//
// On Linux the temporary has no name while it is written (O_TMPFILE); it is given one, the file's name with a
// dot and six random letters and digits appended ("ThumbNail.Ab3xYz"), just before the rename, so a writer
// killed in that moment (or one on a system without unnamed temporaries) may leave it behind. Nothing in the
// program reads such names: the folder scan takes only names ending in ".bmp", ".jpg", ".png", ".tif" or
// ".tiff".
#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

class AtomicFile {
public:
    explicit AtomicFile(const QString& fileName);
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Appends bytes to the new content. Once a write has failed (or the temporary could not be made) the
    // rest are skipped, so a caller may write everything and look at commit's answer alone.
    bool write(const void* data, qint64 size);
    bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }

    // Replaces the file with what was written: true only when every write succeeded and the new file is
    // in place. Otherwise the temporary is removed and the old file (or its absence) stays as it was.
    bool commit();

private:
    bool syncToDisk();

    QSaveFile m_File;
    bool m_Ok = false;
};

// The whole file in one go: AtomicFile, one write, commit.
bool WriteFileAtomically(const QString& fileName, const void* data, qint64 size);
