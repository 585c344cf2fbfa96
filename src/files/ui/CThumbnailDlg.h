// The thumbnail browser: a resizable grid of the save folder's thumbnails over the tiled skin, scrolled by
// rows. A double click (or Open in the context menu) ends it with 1000 + the thumbnail's index; Remove and
// Trash box act on the store at once.
#pragma once

#include <QDialog>

#include "files/ui/FileDialogs.h"
#include "files/ThumbnailCommands.h"
#include "files/ThumbnailGrid.h"

class DibImage;
class QScrollBar;
class ThumbnailStore;

class CThumbnailDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kOpenBase = 1000; // result 1000 + i opens thumbnail i
    static constexpr int kScrollBarId = 1071;

    CThumbnailDlg(ThumbnailStore& store, const DibImage& skin, QWidget* parent = nullptr, bool japanese = false);

    // Seams for tests: how the context menu is run, how Remove's question is answered and how a file goes
    // to the trash.
    void setMenuRunner(MenuRunner runner) { m_RunMenu = std::move(runner); }
    void setConfirmer(Confirmer confirm) { m_Confirm = std::move(confirm); }
    void setTrashMover(TrashMover trash) { m_Commands.setTrash(std::move(trash)); }

    int scrollPosition() const;
    Size clientSize() const { return { width(), height() }; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // Sets the scroll bar's range from the grid and the number of thumbnails.
    void updateScrollRange();
    void runCommand(int command);

    ThumbnailStore& m_Store;
    const DibImage& m_Skin;
    ThumbnailGrid m_Grid;
    ThumbnailCommands m_Commands;
    MenuRunner m_RunMenu = &RunMenu;
    Confirmer m_Confirm;
    QScrollBar* m_ScrollBar = nullptr;
    bool m_Japanese = false;
    int m_ContextIndex = -1;
};
