// The thumbnails of the save folder, in the order they were added, with a cursor; and their file
// "ThumbNail" in that folder, so that pictures are decoded and reduced only once.
//
// ThumbNail file (little-endian): the magic "VIZMAR THUMBNAILFILE VER1000" and a zero byte (29 bytes), the
// entry count (int32), then per entry: the picture's file name (no folder) with a zero byte, the bitmap's
// size (int32), a reserved int32 (0), and the thumbnail as a complete 24-bit BMP file.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

#include "files/ThumbnailEntry.h"

class ThumbnailScan;

class ThumbnailStore {
public:
    static constexpr int32_t kThumbWidth = 140;
    static constexpr int32_t kThumbHeight = 105;
    static constexpr const char* kFileName = "ThumbNail";

    ThumbnailStore();
    ~ThumbnailStore();
    ThumbnailStore(const ThumbnailStore&) = delete;
    ThumbnailStore& operator=(const ThumbnailStore&) = delete;

    // Append an entry whose thumbnail is the whole picture reduced (nearest neighbour), or the picture's
    // top-left corner copied. Both return 0 and add nothing for an empty picture. A path that already has an
    // entry gets the new thumbnail in that entry's place instead (each picture file has one entry).
    int AddScaled(const QString& path, const DibImage& picture);
    int AddCopied(const QString& path, const DibImage& picture);
    // The whole picture reduced to a 140 x 105 colour thumbnail (a grey picture through a colour copy), as
    // AddScaled makes it; 1 on success.
    static int Reduce(const DibImage& picture, DibImage& thumbnail);
    // Decodes the picture file (as OpenPicture does) and adds it reduced; a video (IsVideoName) adds its first
    // frame reduced, with the video mark drawn into its corner. A file that cannot be decoded adds nothing (0).
    int AddFile(const QString& path);

    // Reads a ThumbNail file's bytes: entries name pictures in folder, and those for which
    // pictureExists(path) holds are appended. 1 when the bytes are a ThumbNail file.
    int LoadBytes(const uint8_t* data, size_t size, const QString& folder,
        const std::function<bool(const QString& path)>& pictureExists);
    // Appends the stored entries whose picture files still exist; 1 when the file was read.
    int Load(const QString& thumbnailFile);
    // Writes the file whole (through a temporary renamed over the old one, see AtomicFile): 1 when written,
    // 0 when not, the old file then unchanged. An empty store deletes the file and returns 0.
    int Save(const QString& thumbnailFile) const;
    // Adds the folder's *.bmp, *.jpg, *.png, *.tif and *.tiff pictures and *.mp4 videos (exact, case-sensitive
    // extensions) that have no entry,
    // in name order; empties the store when the folder has no such picture or cannot be read. Pictures whose
    // names are no valid text in the file system's encoding are left out and counted (skippedNames()).
    int ScanFolder(const QString& folder);
    // ScanFolder in the background: lists the pictures that have no entry and starts making their
    // thumbnails on every core (a scan under way is cancelled first). TakeScanned appends those ready, in
    // name order, and returns how many; Clear, a new scan or the store's end cancel the scan.
    int StartScan(const QString& folder);
    int TakeScanned();
    bool scanning() const { return m_Scan != nullptr; }
    // Pictures of the scan under way done, and in all (0 and 0 when none is).
    int32_t scanDone() const;
    int32_t scanTotal() const;
    // The pictures the last ScanFolder left out because their names do not decode to themselves.
    int32_t skippedNames() const { return m_SkippedNames; }
    // Whether a file name's bytes come back unchanged through decoding and encoding again: only then does
    // the decoded name open the same file.
    static bool NameRoundTrips(const QByteArray& bytes);

    void Clear();
    // Moves the cursor to the 0-based index; 0 when there is no such entry.
    int SeekTo(int index);
    // Removes the current entry; the cursor goes to the next one, else to the previous one.
    void RemoveCurrent();

    ThumbnailEntry* current() const { return m_Current; }
    const ThumbnailEntry* first() const { return m_First; }
    int32_t count() const { return m_Count; }
    int32_t thumbWidth() const { return kThumbWidth; }
    int32_t thumbHeight() const { return kThumbHeight; }
    const QString& saveFolder() const { return m_SaveFolder; }
    void setSaveFolder(const QString& folder) { m_SaveFolder = folder; }

    // The file's full path for a folder, and a picture's path in a folder (one separator between them).
    static QString FileIn(const QString& folder);
    static QString PathIn(const QString& folder, const QString& name);
    // A name that can only mean a file inside the folder: no separator, not "." or "..", not empty.
    static bool IsPlainFileName(const QString& name);
    // Whether the name has exactly the extension ".bmp", ".jpg", ".png", ".tif", ".tiff" or ".mp4": a file the
    // strip shows.
    static bool IsPictureName(const QString& name);
    // Whether the name has exactly the extension ".mp4": a video, played in the system's player.
    static bool IsVideoName(const QString& name);
    // Draws the video mark (a play triangle in a dark box) into the thumbnail's bottom-left corner.
    static void MarkVideo(DibImage& thumbnail);

private:
    // A new entry with its empty 140 x 105 thumbnail (null without memory), and linking it in as the
    // last and current entry (or in place of the entry with its path).
    static std::unique_ptr<ThumbnailEntry> makeEntry(const QString& path);
    void append(std::unique_ptr<ThumbnailEntry> entry);
    // A new entry with the picture (or the decoded picture file) reduced into it; null when there is
    // no picture.
    static std::unique_ptr<ThumbnailEntry> reduced(const QString& path, const DibImage& picture);
    static std::unique_ptr<ThumbnailEntry> reducedFile(const QString& path);
    void unlinkAndDelete(ThumbnailEntry* entry);
    // Decodes one stored bitmap (bounded by size) into a new entry.
    void loadEntry(const QString& path, const uint8_t* bitmap, size_t size);

    ThumbnailEntry* m_First = nullptr;
    ThumbnailEntry* m_Last = nullptr;
    ThumbnailEntry* m_Current = nullptr;
    int32_t m_Count = 0;
    int32_t m_SkippedNames = 0;
    QString m_SaveFolder;
    std::unique_ptr<ThumbnailScan> m_Scan;
};
