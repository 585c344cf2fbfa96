// The save folder: which folders may become it, and the switch to another one, which keeps the thumbnail
// store describing exactly the save folder (the old folder's ThumbNail file written first, then the new
// folder's thumbnails loaded and completed from its pictures).
#pragma once

#include <QString>

#include <functional>

class ThumbnailStore;

// Asks for a folder (title, initial folder); an empty answer means cancelled.
using FolderAsker = std::function<QString(const QString& title, const QString& initialFolder)>;
// Shows the person a message.
using MessageTeller = std::function<void(const QString& text)>;

class SaveFolder {
public:
    // The settings file gives the folder back through a 260-byte buffer (terminator included): a longer
    // folder would come back cut short, naming another folder.
    static constexpr int kMaxBytes = 259;

    enum class Check { Usable, NotAFolder, ReadOnly, TooLong };
    // Whether pictures can be saved in the folder: an existing folder on a writable file system, whose
    // name (as the settings file stores it) fits the settings' buffer.
    static Check Examine(const QString& folder);
    static bool Accepts(const QString& folder) { return Examine(folder) == Check::Usable; }

    explicit SaveFolder(ThumbnailStore& store)
        : m_Store(store)
    {
    }

    // How the pictures the ThumbNail file lacks are added: before SwitchTo returns, or by a scan left
    // running in the store (ThumbnailStore::TakeScanned brings its entries in as they are made).
    enum class Scan { Wait, Background };

    // Writes the old folder's ThumbNail file, empties the store (cancelling a scan under way), makes folder
    // the save folder, loads its ThumbNail file and adds the pictures that file lacks. The strip must be
    // refreshed afterwards. False when the old folder's file could not be written (the switch happens all
    // the same).
    bool SwitchTo(const QString& folder, Scan scan = Scan::Wait);

    // DIR: asks for a folder (starting at the current directory) and switches to it, even when it is the
    // same folder again. A folder that cannot take pictures is refused with a message. True when switched.
    bool Choose(const FolderAsker& ask, const MessageTeller& tell, bool japanese, Scan scan = Scan::Wait);

private:
    ThumbnailStore& m_Store;
};
