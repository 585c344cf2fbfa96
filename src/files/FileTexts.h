// Texts of the still save, the save folder, the thumbnail menu and the browser, in English and Japanese.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace FileTexts {

// The save dialog's title and its filters (BMP, JPEG, PNG, TIFF), as the file dialog shows them.
QString SaveTitle(bool japanese);
QStringList SaveFilters(bool japanese);
// The folder chooser's title.
QString FolderTitle(bool japanese);
// Told when a picture could not be written, and when a chosen folder cannot take pictures.
QString NotSaved(bool japanese);
QString FolderRefused(bool japanese);
// Told when the folder left behind kept no ThumbNail file (its pictures come back when it is chosen again).
QString ThumbnailsNotSaved(bool japanese);
// The question before Remove deletes the picture fileName for good, pointing to Trash box as the way that
// can be undone.
QString ConfirmRemove(bool japanese, const QString& fileName);
// The browser's caption.
QString BrowserTitle(bool japanese);
// A caption's note that count pictures were left out for their names (empty for none).
QString SkippedNames(bool japanese, int count);
// Told at start when the save folder in the settings is not there: whether to choose another one.
QString AskMissingFolder(bool japanese, const QString& folder);

// Quick capture: the button's tooltip with its key; the caption's note while a picture is written and once
// it is; told when a capture is refused because count pictures wait already, and when a picture was not
// written.
QString QuickTip(bool japanese, const QString& key);
// The QUICK button's menu: its options, and the time-lapse.
QString QuickOptionsItem(bool japanese);
QString TimeLapseItem(bool japanese);
QString Capturing(bool japanese, const QString& fileName);
QString Captured(bool japanese, const QString& fileName);
QString CaptureBusy(bool japanese, int count);
QString CaptureNotSaved(bool japanese, const QString& fileName);

// Recording: REC's tooltip; told when REC is pressed with the live view stopped, when the recording could not
// start, and when it stopped because its file could not be written; the caption's note while it runs; the
// entries of REC's menu.
QString RecordTip(bool japanese);
QString RecordNeedsLive(bool japanese);
QString RecordNotStarted(bool japanese, const QString& why);
QString RecordFailed(bool japanese, const QString& why);
QString Recording(bool japanese, int64_t seconds, int64_t bytes, uint64_t dropped);
QString RecordWholeFrame(bool japanese);
QString RecordView(bool japanese);
QString RecordWithLines(bool japanese);

// The calibration list's entry for the scale an opened picture brought (name: the calibration's, or empty).
QString FromFile(bool japanese, const QString& name);
// Told when an opened picture's scale or measurements were left out, naming them.
QString TagsIgnored(bool japanese, const QStringList& what);

// The thumbnail context menu (menu 146): its commands' ids and texts.
enum MenuCommand { kMenuRemove = 32779, kMenuOpen = 32780, kMenuTrash = 32781 };
struct MenuItem {
    int id;
    QString text;
};
// Open, Remove, Trash box, in menu order.
QList<MenuItem> ThumbnailMenu(bool japanese);

} // namespace FileTexts
