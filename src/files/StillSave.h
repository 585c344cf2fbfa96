// SAVE: the picture on screen written as a BMP, JPEG, PNG or TIFF file of the person's choosing, with the
// measurement drawing burnt in when asked, and recorded in the thumbnail store of its folder. PNG and TIFF
// carry the scale and the measurements too.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

#include "files/PictureTags.h"
#include "files/SaveFolder.h"

class DibImage;
class ThumbnailStore;

// Output formats: the index of the filter picked in the save dialog.
enum SaveFormat { kSaveBmp = 1, kSaveJpeg = 2, kSavePng = 3, kSaveTiff = 4 };

// What a file gets besides the picture: the tags (PNG and TIFF only) and the JPEG quality (1..100; 50 keeps
// the standard tables unscaled).
struct SaveOptions {
    PictureTags tags;
    int jpegQuality = 50;
};

// Draws the measurements onto the 24-bit copy being saved (picture coordinates, scale x1).
using OverlayDrawer = std::function<void(DibImage& copy)>;

// What the save dialog is shown with, and what it answers (an empty path when cancelled).
struct SaveFileRequest {
    QString title;
    QStringList filters; // BMP, JPEG, PNG, TIFF
    int filterIndex = kSaveBmp; // 1-based, preselected
    QString initialPath;
    QString defaultSuffix;
};
struct SaveFileAnswer {
    QString path;
    int filterIndex = 0; // 1-based
};
using SaveFileAsker = std::function<SaveFileAnswer(const SaveFileRequest& request)>;

// "yyyyMMddhhmmss.bmp" of the local time, and that name in the folder.
QString ProposedName(const QDateTime& when);
SaveFileRequest MakeSaveRequest(const QString& folder, const QDateTime& when, bool japanese);

// The file a dialog answer leads to: the absolute path, its folder, and the format. A name ending in .bmp,
// .jpg, .jpeg, .png, .tif or .tiff (any case) is kept and chooses the format whatever the filter; any other
// name gets the filter's extension appended ("a.txt" with the BMP filter gives "a.txt.bmp").
struct SaveTarget {
    QString path;
    QString folder;
    int format = 0;
};
SaveTarget ResolveSaveTarget(const QString& chosen, int filterIndex);

// A 24-bit copy of the picture (8-bit pictures through their colour table): 1 on success.
int CopyTo24(const DibImage& picture, DibImage& copy);
// Writes the picture as it is in a SaveFormat: BMP and JPEG from a 24-bit picture only, PNG and TIFF from
// an 8-bit grey or a 24-bit one, with the tags. True when the file was written; otherwise an existing file
// of that name is unchanged.
bool WritePicture(const QString& path, const DibImage& picture, int format, const SaveOptions& options);
// Writes the picture with the drawer's drawing on it (when given) in a SaveFormat: a 24-bit copy, except that
// a grey picture without drawing stays grey in PNG and TIFF. 1 when the file was written; 0 otherwise,
// with an existing file of that name unchanged.
int SavePicture(const QString& path, const DibImage& picture, int format, const OverlayDrawer& drawer = {},
    const SaveOptions& options = {});

class StillSave {
public:
    enum class Outcome { Cancelled, Saved, NotSaved };
    struct Result {
        Outcome outcome = Outcome::Cancelled;
        bool folderChanged = false; // the strip shows another folder now
        QString path; // the file written (or not)
        int format = 0; // its SaveFormat
    };

    StillSave(ThumbnailStore& store, SaveFileAsker ask, MessageTeller tell)
        : m_Store(store)
        , m_Ask(std::move(ask))
        , m_Tell(std::move(tell))
    {
    }

    // SAVE from the dialog on (the caller stops the live view before and starts it after): asks for the
    // file, switches to its folder when that differs from the save folder, writes the picture and, once it
    // is written, adds its thumbnail. A picture not written, or a folder that cannot be the save folder, is
    // told with a message and adds nothing.
    Result Run(const DibImage& picture, const OverlayDrawer& drawer, bool japanese,
        const QDateTime& now = QDateTime::currentDateTime(), const SaveOptions& options = {});

private:
    ThumbnailStore& m_Store;
    SaveFileAsker m_Ask;
    MessageTeller m_Tell;
};
