#include "files/StillSave.h"

#include <QDir>
#include <QFileInfo>

#include "files/FileTexts.h"
#include "files/JpegEncoder.h"
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
    const QString extension = info.suffix().toLower();
    if (extension == QLatin1String("bmp")) {
        t.format = kSaveBmp;
        t.path = info.filePath();
    } else if (extension == QLatin1String("jpg") || extension == QLatin1String("jpeg")) {
        t.format = kSaveJpeg;
        t.path = info.filePath();
    } else {
        t.format = filterIndex;
        t.path = info.filePath() + (filterIndex == kSaveJpeg ? QStringLiteral(".jpg") : QStringLiteral(".bmp"));
    }
    return t;
}

int CopyTo24(const DibImage& picture, DibImage& copy)
{
    if (picture.isEmpty() || !copy.Create(picture.width(), picture.height(), 24))
        return 0;
    return copy.Blit(picture, nullptr, 0, 0);
}

int SavePicture(const QString& path, const DibImage& picture, int format, const OverlayDrawer& drawer)
{
    if (format != kSaveBmp && format != kSaveJpeg)
        return 0;
    DibImage copy;
    if (!CopyTo24(picture, copy))
        return 0;
    if (drawer)
        drawer(copy);
    if (format == kSaveBmp)
        return copy.SaveBmp(path) ? 1 : 0;
    return EncodeJpeg(copy, path) ? 1 : 0;
}

StillSave::Result StillSave::Run(
    const DibImage& picture, const OverlayDrawer& drawer, bool japanese, const QDateTime& now)
{
    Result result;
    const SaveFileAnswer answer
        = m_Ask ? m_Ask(MakeSaveRequest(m_Store.saveFolder(), now, japanese)) : SaveFileAnswer {};
    if (answer.path.isEmpty())
        return result;
    const SaveTarget target = ResolveSaveTarget(answer.path, answer.filterIndex);
    result.path = target.path;
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

    if (!SavePicture(target.path, picture, target.format, drawer)) {
        if (m_Tell)
            m_Tell(FileTexts::NotSaved(japanese));
        return result;
    }
    // The thumbnail shows the picture without the drawing; a grey picture is reduced from its colour copy.
    DibImage colour;
    const DibImage* source = &picture;
    if (picture.bitsPerPixel() != 24 && CopyTo24(picture, colour))
        source = &colour;
    m_Store.AddScaled(target.path, *source);
    result.outcome = Outcome::Saved;
    return result;
}
