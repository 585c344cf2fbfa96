#include "files/ThumbnailCommands.h"

#include <QFile>
#include <QFileInfo>

#include "files/FileTexts.h"
#include "files/ThumbnailStore.h"
#include "platform/Trash.h"

ThumbnailCommands::ThumbnailCommands(ThumbnailStore& store, TrashMover trash)
    : m_Store(store)
{
    setTrash(std::move(trash));
}

void ThumbnailCommands::setTrash(TrashMover trash)
{
    m_Trash = trash ? std::move(trash) : TrashMover([](const QString& path) { return MoveToTrash(path); });
}

QString ThumbnailCommands::PathAt(int index) const
{
    int i = 0;
    for (const ThumbnailEntry* e = m_Store.first(); e; e = e->next, ++i)
        if (i == index)
            return e->path;
    return {};
}

int ThumbnailCommands::removeEntryWhenGone(int index, const std::function<bool(const QString&)>& dispose)
{
    // Only the entry at the index: never whichever entry the cursor happened to hold.
    if (!m_Store.SeekTo(index))
        return 0;
    const QString path = m_Store.current()->path;
    const QFileInfo file(path);
    // A file already gone by other means only loses its entry.
    if ((file.exists() || file.isSymLink()) && !dispose(path))
        return 0;
    m_Store.SeekTo(index);
    m_Store.RemoveCurrent();
    return 1;
}

int ThumbnailCommands::Remove(int index, const Confirmer& confirm, bool japanese)
{
    // There is no way back from here, unlike the trash: the person says so first.
    const QString path = PathAt(index);
    if (path.isEmpty() || !confirm || !confirm(FileTexts::ConfirmRemove(japanese, QFileInfo(path).fileName())))
        return 0;
    return removeEntryWhenGone(index, [](const QString& path) {
        QFile::remove(path);
        const QFileInfo after(path);
        return !after.exists() && !after.isSymLink();
    });
}

int ThumbnailCommands::Trash(int index)
{
    return removeEntryWhenGone(index, m_Trash);
}
