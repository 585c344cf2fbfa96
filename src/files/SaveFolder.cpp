#include "files/SaveFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include "files/FileTexts.h"
#include "files/ThumbnailStore.h"

SaveFolder::Check SaveFolder::Examine(const QString& folder)
{
    if (folder.toUtf8().size() > kMaxBytes)
        return Check::TooLong;
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir())
        return Check::NotAFolder;
    const QStorageInfo storage(folder);
    if (!storage.isValid() || storage.isReadOnly())
        return Check::ReadOnly;
    return Check::Usable;
}

bool SaveFolder::SwitchTo(const QString& folder, Scan scan)
{
    // An empty store removes the file: nothing to write, nothing lost.
    const bool saved = m_Store.Save(ThumbnailStore::FileIn(m_Store.saveFolder())) != 0 || m_Store.count() == 0;
    m_Store.Clear();
    m_Store.setSaveFolder(folder);
    m_Store.Load(ThumbnailStore::FileIn(folder));
    if (scan == Scan::Wait)
        m_Store.ScanFolder(folder);
    else
        m_Store.StartScan(folder);
    return saved;
}

bool SaveFolder::Choose(const FolderAsker& ask, const MessageTeller& tell, bool japanese, Scan scan)
{
    const QString chosen = ask ? ask(FileTexts::FolderTitle(japanese), QDir::currentPath()) : QString();
    if (chosen.isEmpty())
        return false;
    const QString folder = QDir::cleanPath(QFileInfo(chosen).absoluteFilePath());
    if (!Accepts(folder)) {
        if (tell)
            tell(FileTexts::FolderRefused(japanese));
        return false;
    }
    if (!SwitchTo(folder, scan) && tell)
        tell(FileTexts::ThumbnailsNotSaved(japanese));
    return true;
}
