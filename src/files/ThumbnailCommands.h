// The thumbnail menu's Remove and Trash box on one entry of the store, shared by the strip and the browser.
// The entry goes only when its file is gone: a file that could not be deleted or moved keeps its thumbnail.
#pragma once

#include <QString>

#include <functional>

class ThumbnailStore;

// Moves a file into the trash; true only when the file is gone from its place.
using TrashMover = std::function<bool(const QString& path)>;
// Puts a yes/no question to the person; true for Yes.
using Confirmer = std::function<bool(const QString& question)>;

class ThumbnailCommands {
public:
    // The real trash unless another mover is given.
    explicit ThumbnailCommands(ThumbnailStore& store, TrashMover trash = {});

    void setTrash(TrashMover trash);

    // The picture file of the entry at index; empty when there is no such entry.
    QString PathAt(int index) const;
    // Deletes the file for good, then removes its entry, once confirm has answered Yes to the question
    // naming the file (nothing is deleted without an answer). 1 when the entry was removed.
    int Remove(int index, const Confirmer& confirm, bool japanese);
    // Moves the file into the trash, then removes its entry. 1 when the entry was removed.
    int Trash(int index);

private:
    int removeEntryWhenGone(int index, const std::function<bool(const QString&)>& dispose);

    ThumbnailStore& m_Store;
    TrashMover m_Trash;
};
