// What the main window asks of the person through dialogs and messages, each behind a function so that tests
// can answer it; the window sets every one to the real dialog.
#pragma once

#include <QString>

#include <functional>

#include "files/ui/FileDialogs.h"
#include "measure/CsvExport.h"
#include "measure/ui/ResultsTable.h"

class CImageSetDlg;
class CThumbnailDlg;
class QDialog;
class QWidget;

struct WindowPrompts {
    explicit WindowPrompts(QWidget* window);

    // The save file dialog, the folder chooser, messages and the thumbnail menu.
    FileDialogs files;
    // The question asked before closing (title, question): true to close.
    std::function<bool(const QString& title, const QString& question)> confirmClose;
    // Runs the thumbnail browser modally and gives its result.
    std::function<int(CThumbnailDlg&)> runThumbnailBrowser;
    // The CSV button's save dialog; an empty path when cancelled.
    std::function<QString(const CsvSaveDialog&)> askCsvPath;
    // A file to write (save) or to read, described as the CSV dialog is; an empty path when cancelled.
    std::function<QString(const CsvSaveDialog&, bool save)> askPath;
    // Runs the Camera Setting and colour dialogs modally and gives their result.
    std::function<int(QDialog&)> runSettingDialog;
    // Runs the Image Setting dialog modally (the live view goes on underneath) and gives its result.
    std::function<int(CImageSetDlg&)> runImageSetting;
    // Tells that the camera was lost (a message box that does not block the window).
    std::function<void(const QString&)> tellCameraLost;
    // Tells that the camera asked for did not open and which one is shown instead (does not block either).
    std::function<void(const QString&)> tellCameraMissing;
    // Tells that the camera's frames cannot be shown, what it sends and what was expected (does not block).
    std::function<void(const QString&)> tellFramesRefused;
    // Opens a file in the system's program for it (a video in its player).
    std::function<void(const QString& path)> openExternally;
    // The tolerance of a result double-clicked in the results list (by default the tolerance dialog).
    ResultsTable::AskTolerance askTolerance;
    // Tells that a quick capture was refused or not written (does not block: the live view goes on).
    std::function<void(const QString&)> tellCapture;
};
