#include "session/FileLocations.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "live/ViewerSettings.h"

namespace {

constexpr const char* kProgramName = "nxviewer";

// The folder counts as writable when this user may write it and it grants writing to someone: a folder made
// read-only (no write bit) stays so for root too. The installed program's own folder (/usr/bin) never
// counts, whoever runs it, so that settings never land among the system's programs.
bool writable(const QString& folder)
{
    const QFileInfo info(folder);
    const QFileDevice::Permissions anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (!info.isDir() || !info.isWritable() || !(info.permissions() & anyWrite))
        return false;
#ifdef NX_INSTALL_BINDIR
    if (info.canonicalFilePath() == QFileInfo(QStringLiteral(NX_INSTALL_BINDIR)).canonicalFilePath())
        return false;
#endif
    return true;
}

} // namespace

FileLocations FileLocations::Beside(const QString& folder)
{
    return { SettingsFile::PathIn(folder), QString(), SettingsFile::DefaultSaveFolder(folder) };
}

FileLocations FileLocations::ForProgram(const QString& programFolder)
{
    if (writable(programFolder))
        return Beside(programFolder);
    const QString config
        = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)).filePath(kProgramName);
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    // Without a home there are no pictures folder: the pictures go beside the settings then.
    pictures = pictures.isEmpty() ? SettingsFile::DefaultSaveFolder(config) : QDir(pictures).filePath(kProgramName);
    const QString beside = SettingsFile::PathIn(programFolder);
    return { SettingsFile::PathIn(config), QFileInfo::exists(beside) ? beside : QString(), pictures };
}

QString FileLocations::readPath() const
{
    return seedPath.isEmpty() || QFileInfo::exists(settingsPath) ? settingsPath : seedPath;
}
