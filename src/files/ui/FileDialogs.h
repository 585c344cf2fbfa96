// The real dialogs behind the still save's, the save folder's and the thumbnail menu's seams: the save
// file dialog, the folder chooser, a message box and the thumbnail context menu. Tests replace the
// functions; the program keeps the defaults.
#pragma once

#include <QPoint>

#include <functional>

#include "files/SaveFolder.h"
#include "files/StillSave.h"
#include "files/ThumbnailCommands.h"

class QFileDialog;
class QMenu;
class QWidget;

// Prepares a save dialog as the still save asks: title, both filters with the wanted one selected, the
// proposed name in the save folder, default suffix, and no question before overwriting.
void ConfigureSaveDialog(QFileDialog& dialog, const SaveFileRequest& request);

// Menu 146's first submenu: Open, Remove and Trash box, each action carrying its command id as data.
QMenu* MakeThumbnailMenu(QWidget* parent, bool japanese);
// Runs a menu at a screen position and gives the chosen command id (0 when none was chosen).
using MenuRunner = std::function<int(QMenu& menu, QPoint screenPosition)>;
int RunMenu(QMenu& menu, QPoint screenPosition);
// A Yes/No message box over parent, No preselected; true for Yes.
bool AskYesNo(QWidget* parent, const QString& question);

struct FileDialogs {
    // Every seam set to the real dialog, owned by owner.
    explicit FileDialogs(QWidget* owner);

    SaveFileAsker askSaveFile;
    FolderAsker askFolder;
    MessageTeller tell;
    MenuRunner runMenu;
    // The question before a picture is deleted for good.
    Confirmer confirm;
};
