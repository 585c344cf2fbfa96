#include "files/StillSave.h"

#include <QDir>
#include <QFileInfo>

#include "files/CaptureOptions.h"
#include "files/FileTexts.h"
#include "files/JpegEncoder.h"
#include "files/PngFile.h"
#include "files/TiffFile.h"
#include "files/ThumbnailStore.h"
#include "imaging/DibImage.h"

QString ProposedName(const QDateTime& when)
{
    const QDate d = when.date();
    const QTime t = when.time();
    return QString::asprintf(
        "%4d%02d%02d%02d%02d%02d.bmp", d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

SaveFileRequest MakeSaveRequest(const QString& folder, const QDateTime& when, bool japanese)
{
    SaveFileRequest r;
    r.title = FileTexts::SaveTitle(japanese);
    r.filters = FileTexts::SaveFilters(japanese);
    r.filterIndex = kSaveBmp;
    r.initialPath = ThumbnailStore::PathIn(folder, ProposedName(when));
    r.defaultSuffix = QStringLiteral("bmp");
    return r;
}

SaveTarget ResolveSaveTarget(const QString& chosen, int filterIndex)
{
    SaveTarget t;
    if (chosen.isEmpty())
        return t;
    // The folder comes from the absolute path, so a file at the root keeps "/" as its folder.
    const QFileInfo info(QDir::cleanPath(QFileInfo(chosen).absoluteFilePath()));
    t.folder = info.path();
    // The name's own extension, when it is one we write, decides the format, so the bytes always match what
    // the name says; any other name keeps all it was typed with and gets the filter's extension added.
    static const struct {
        const char* extension;
        int format;
    } kNamed[] = { { "bmp", kSaveBmp }, { "jpg", kSaveJpeg }, { "jpeg", kSaveJpeg }, { "png", kSavePng },
        { "tif", kSaveTiff }, { "tiff", kSaveTiff } };
    const QString extension = info.suffix().toLower();
    for (const auto& named : kNamed) {
        if (extension == QLatin1String(named.extension)) {
            t.format = named.format;
            t.path = info.filePath();
            return t;
        }
    }
    t.format = filterIndex >= kSaveBmp && filterIndex <= kSaveTiff ? filterIndex : kSaveBmp;
    t.path = info.filePath() + u'.' + CaptureOptions::Extension(t.format);
    return t;
}

int CopyTo24(const DibImage& picture, DibImage& copy)
{
    if (picture.isEmpty() || !copy.Create(picture.width(), picture.height(), 24))
        return 0;
    return copy.Blit(picture, nullptr, 0, 0);
}

bool WritePicture(const QString& path, const DibImage& picture, int format, const SaveOptions& options)
{
    switch (format) {
    case kSaveBmp:
        return picture.bitsPerPixel() == 24 && picture.SaveBmp(path);
    case kSaveJpeg:
        return picture.bitsPerPixel() == 24 && EncodeJpeg(picture, path, options.jpegQuality);
    case kSavePng:
        return WritePng(path, picture, options.tags);
    case kSaveTiff:
        return WriteTiff(path, picture, options.tags);
    default:
        return false;
    }
}

int SavePicture(const QString& path, const DibImage& picture, int format, const OverlayDrawer& drawer,
    const SaveOptions& options)
{
    if (format < kSaveBmp || format > kSaveTiff || picture.isEmpty())
        return 0;
    // PNG and TIFF keep a grey picture grey; the drawing and the other formats need colour.
    if (!drawer && (format == kSavePng || format == kSaveTiff || picture.bitsPerPixel() == 24))
        return WritePicture(path, picture, format, options) ? 1 : 0;
    DibImage copy;
    if (!CopyTo24(picture, copy))
        return 0;
    if (drawer)
        drawer(copy);
    return WritePicture(path, copy, format, options) ? 1 : 0;
}

StillSave::Result StillSave::Run(const DibImage& picture, const OverlayDrawer& drawer, bool japanese,
    const QDateTime& now, const SaveOptions& options)
{
    Result result;
    const SaveFileAnswer answer
        = m_Ask ? m_Ask(MakeSaveRequest(m_Store.saveFolder(), now, japanese)) : SaveFileAnswer {};
    if (answer.path.isEmpty())
        return result;
    const SaveTarget target = ResolveSaveTarget(answer.path, answer.filterIndex);
    result.path = target.path;
    result.format = target.format;
    result.outcome = Outcome::NotSaved;

    if (target.folder != QDir::cleanPath(m_Store.saveFolder())) {
        // Only a folder that can stay the save folder across a restart may become it.
        if (!SaveFolder::Accepts(target.folder)) {
            if (m_Tell)
                m_Tell(FileTexts::NotSaved(japanese));
            return result;
        }
        if (!SaveFolder(m_Store).SwitchTo(target.folder) && m_Tell)
            m_Tell(FileTexts::ThumbnailsNotSaved(japanese));
        result.folderChanged = true;
    }

    if (!SavePicture(target.path, picture, target.format, drawer, options)) {
        if (m_Tell)
            m_Tell(FileTexts::NotSaved(japanese));
        return result;
    }
    // The thumbnail shows the picture without the drawing.
    DibImage thumbnail;
    if (ThumbnailStore::Reduce(picture, thumbnail))
        m_Store.AddCopied(target.path, thumbnail);
    result.outcome = Outcome::Saved;
    return result;
}
