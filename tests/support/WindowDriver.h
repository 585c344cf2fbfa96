// Driving the main window as a person does, through its controls (found by their template ids), and reading
// what it shows through the live view and the session.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QString>
#include <QTableView>

#include <algorithm>
#include <vector>

#include "app/DialogTemplate.h"
#include "app/ViewerDlg.h"
#include "app/WindowPrompts.h"
#include "imaging/ViewLayout.h"
#include "live/LiveView.h"
#include "measure/ui/ResultsTable.h"
#include "session/ViewerSession.h"

namespace win {

template <typename T = QWidget> T* control(const CViewerDlg& dlg, int id)
{
    return dlg.findChild<T*>(QString::number(id));
}

// Presses a button of the window.
inline void click(const CViewerDlg& dlg, int id)
{
    control<QAbstractButton>(dlg, id)->click();
}

// Chooses an entry of the zoom box (0: fit ... 5: x16) as a person does.
inline void setZoom(const CViewerDlg& dlg, int index)
{
    auto* zoom = control<QComboBox>(dlg, IDC_ZOOM);
    zoom->setCurrentIndex(index);
    emit zoom->activated(index);
}

inline bool liveStopped(CViewerDlg& dlg)
{
    return !dlg.liveView().running();
}

inline uint64_t framesShown(CViewerDlg& dlg)
{
    return dlg.liveView().framesShown();
}

inline ViewGeometry shownGeometry(CViewerDlg& dlg)
{
    return dlg.liveView().shownPicture().geometry;
}

// Scrolls a magnified picture as a pan does: whole pixels, kept within the picture.
inline void scrollTo(CViewerDlg& dlg, double baiX, double baiY)
{
    const ViewGeometry g = dlg.liveView().viewGeometry();
    dlg.session().settings().setScroll(ViewLayout::ClampScroll(baiX, g.deviceWidth(), g.factor(), g.imageWidth),
        ViewLayout::ClampScroll(baiY, g.deviceHeight(), g.factor(), g.imageHeight));
    if (!dlg.liveView().isLive()) // a live view shows the pan with its next frame
        dlg.update();
}

// Selects the rows of these items in the results list, as a person does before DELETE.
inline void selectItems(const CViewerDlg& dlg, const std::vector<int32_t>& ids)
{
    ResultsTable(*control<QTableView>(dlg, IDC_RESULTS)).SelectItems(ids);
}

// The tool being drawn with (ToolNone when none).
inline int32_t tool(CViewerDlg& dlg)
{
    return std::max(dlg.session().measure().current().type, 0);
}

// The transparent surface over the picture that takes the mouse there.
inline QWidget* viewSurface(const CViewerDlg& dlg)
{
    return control(dlg, IDC_VIEW);
}

} // namespace win
