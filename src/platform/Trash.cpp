#include "platform/Trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

bool MoveToTrash(const QString& path, QString* pathInTrash)
{
    const QFileInfo source(path);
    if (!source.exists() && !source.isSymLink())
        return false;
    // Qt looks for the trash under the data folder; when that folder does not exist (a fresh account, or
    // root without one), it reports success after moving the file into "files" of the current directory.
    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataFolder.isEmpty() || !QDir().mkpath(dataFolder))
        return false;
    QString trashed;
    if (!QFile::moveToTrash(path, &trashed))
        return false;
    const QFileInfo after(path);
    if (after.exists() || after.isSymLink())
        return false;
    if (pathInTrash)
        *pathInTrash = trashed;
    return true;
}
