// The main window's mouse and keys for measuring: the tool buttons, the mouse over the picture handed to the
// interaction with the geometry of the picture on the screen and over the thumbnail strip to the strip's
// mouse, the effects they return carried out, undo and redo, and the keyboard shortcuts with their tooltips.
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QShortcut>
#include <QTextEdit>
#include <QWheelEvent>

#include <functional>
#include <memory>

#include "app/DialogTemplate.h"
#include "edges/ShapeFit.h"
#include "app/ViewerDlgPrivate.h"
#include "files/ThumbnailCommands.h"
#include "imaging/ViewOverview.h"
#include "platform/Language.h"
#include "platform/StringTable.h"

namespace {

constexpr int kToolButtons[] = { IDC_LINE, IDC_ARIA, IDC_CIRCLE, IDC_CIRCLE2, IDC_SUI, IDC_ANGLE };

// A wheel notch, in eighths of a degree.
constexpr int kWheelNotch = 120;

// The keys of the tools, in the order of kToolButtons.
constexpr const char* kToolKeys[] = { "L", "A", "C", "2", "P", "G" };

// Gradient a snapped point's edge has at least, in grey levels per pixel.
constexpr double kSnapThreshold = 4.0;

// The tools that find edges themselves, offered by a right click on the plain tool they refine, with their keys.
struct EdgeTool {
    int button;
    int32_t tool;
    const char* key;
    const char* english;
    const char* japanese;
};
constexpr EdgeTool kEdgeTools[] = {
    { IDC_LINE, ToolCaliper, "K", "Caliper: the edges across a band, their distance", "キャリパー：エッジ間の距離" },
    { IDC_LINE, ToolEdgeLine, "J", "Line by edges: the angle of a straight edge", "エッジ直線：直線エッジの角度" },
    { IDC_CIRCLE, ToolEdgeCircle, "E", "Circle by edges: the circle fitted to a rim", "エッジ円：輪郭に合わせた円" },
};

// Tooltips naming the keys. The Japanese text is the string table's followed by the keys; English systems
// had no tooltips before the keys came, so they get texts of their own.
struct KeyTip {
    int control;
    int japanese; // string id
    const char* english;
    const char* englishKeys;
    const char* japaneseKeys; // UTF-8
};

constexpr KeyTip kKeyTips[] = {
    { IDC_LIVE, 200, "Start or stop the live picture", "Space", "スペース" },
    { IDC_ZOOM, 207, "Zoom", "F: fit, + / -: zoom in and out", "F：全画面表示、＋／－：拡大・縮小" },
    { IDC_LINE, 208, "Length between two points: drag from one to the other, or click one and then the other; right click: caliper (K), line by edges (J)", "L", "L" },
    { IDC_ARIA, 209, "Area of a polygon: click its corners, double-click the last", "A", "A" },
    { IDC_CIRCLE, 210, "Diameter of the circle through three points; right click: circle by edges (E)", "C", "C" },
    { IDC_CIRCLE2, 211, "Diameters of two circles and the distance of their centres", "2", "2" },
    { IDC_SUI, 212, "Perpendicular distances to a base line; a right click ends", "P", "P" },
    { IDC_ANGLE, 213, "Angle at a vertex: first arm, vertex, second arm", "G", "G" },
    { IDC_DELETE, 214, "Delete the selected measurements", "Delete; Ctrl+Z undoes, Ctrl+Y redoes",
      "Delete、Ctrl+Z：元に戻す、Ctrl+Y：やり直し" },
    { IDC_CLEAR, 215, "Delete all measurements", "Ctrl+Z undoes", "Ctrl+Z：元に戻す" },
};

} // namespace

bool textFieldHasFocus()
{
    QWidget* w = QApplication::focusWidget();
    if (const auto* combo = qobject_cast<QComboBox*>(w))
        return combo->isEditable();
    return qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QTextEdit*>(w)
        || qobject_cast<QPlainTextEdit*>(w);
}

void CViewerDlg::Private::createInteraction()
{
    // The view's own control becomes the transparent surface over the picture: the window paints the
    // picture under it, the mouse there is the interaction's, and its cursor is not the buttons'.
    m_View->setFrameShape(QFrame::NoFrame);
    m_View->setMouseTracking(true);
    m_View->installEventFilter(q);
    m_View->show();
    // Hovering the strip's thumbnails shows the hand: its moves reach the window through the strip's box.
    q->setMouseTracking(true);
    control(IDC_STRIP)->setMouseTracking(true);

    for (size_t i = 0; i < std::size(kToolButtons); ++i) {
        const int tool = ToolOfButton(kToolButtons[i]);
        connect(static_cast<QAbstractButton*>(control(kToolButtons[i])), &QAbstractButton::clicked, q,
            [this, tool] { SelectTool(tool); });
    }
    for (const int button : { IDC_LINE, IDC_CIRCLE }) {
        control(button)->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(control(button), &QWidget::customContextMenuRequested, q, [this, button] { OnEdgeToolMenu(button); });
    }
    m_SnapCheck = static_cast<QCheckBox*>(control(IDC_SNAP));
    m_SnapCheck->setToolTip(g_bJapanese ? QString::fromUtf8("計測点をエッジに吸着させます（S）")
                                        : QStringLiteral("Points placed by the measuring tools snap to the nearest edge (S)"));
    m_SnapCheck->setFocusPolicy(Qt::NoFocus); // the keys stay the window's
    createShortcuts();
    for (const KeyTip& t : kKeyTips) {
        const QString text = g_bJapanese
            ? LoadString(t.japanese) + QString::fromUtf8("（%1）").arg(QString::fromUtf8(t.japaneseKeys))
            : QString("%1 (%2)").arg(QString::fromUtf8(t.english), QString::fromUtf8(t.englishKeys));
        control(t.control)->setToolTip(text);
    }
}

void CViewerDlg::Private::createShortcuts()
{
    const auto add = [this](const QKeySequence& keys, std::function<void()> action) {
        auto* shortcut = new QShortcut(keys, q);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, q, [action = std::move(action)] {
            if (!textFieldHasFocus())
                action();
        });
    };
    for (size_t i = 0; i < std::size(kToolButtons); ++i) {
        const int tool = ToolOfButton(kToolButtons[i]);
        add(QKeySequence(QString::fromLatin1(kToolKeys[i])), [this, tool] { SelectTool(tool); });
    }
    // Escape drops the item being drawn; it never closes the window.
    add(QKeySequence(Qt::Key_Escape), [this] {
        if (m_Interaction.tool() != ToolNone)
            SelectTool(ToolNone);
    });
    add(QKeySequence(Qt::Key_Delete), [this] { OnDelete(); });
    add(QKeySequence(Qt::Key_F), [this] { SetZoom(0); });
    add(QKeySequence(Qt::Key_S), [this] { m_SnapCheck->toggle(); });
    add(QKeySequence(Qt::Key_H), [this] { m_PeakingCheck->toggle(); });
    add(QKeySequence(Qt::Key_B), [this] { OnStack(); });
    for (const EdgeTool& t : kEdgeTools)
        add(QKeySequence(QString::fromLatin1(t.key)), [this, tool = t.tool] { SelectTool(tool); });
    const auto zoomBy = [this](int step) { SetZoom(m_Zoom->currentIndex() + step); };
    for (const QKeySequence& keys : { QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal),
             QKeySequence(Qt::KeypadModifier | Qt::Key_Plus) })
        add(keys, [zoomBy] { zoomBy(1); });
    for (const QKeySequence& keys : { QKeySequence(Qt::Key_Minus), QKeySequence(Qt::KeypadModifier | Qt::Key_Minus) })
        add(keys, [zoomBy] { zoomBy(-1); });
    add(QKeySequence(Qt::Key_Space), [this] { OnLive(); });
    add(QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { OnUndo(); });
    add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] { OnRedo(); });
    add(QKeySequence(Qt::CTRL | Qt::Key_Y), [this] { OnRedo(); });
}

void CViewerDlg::Private::OnEdgeToolMenu(int button)
{
    QMenu menu(q);
    for (const EdgeTool& t : kEdgeTools)
        if (t.button == button)
            menu.addAction(QStringLiteral("%1 (%2)").arg(QString::fromUtf8(g_bJapanese ? t.japanese : t.english),
                               QString::fromLatin1(t.key)))
                ->setData(t.tool);
    if (const int tool = m_Prompts.files.runMenu(menu, QCursor::pos()))
        SelectTool(tool);
}

void CViewerDlg::Private::SelectTool(int32_t tool)
{
    applyEffects(m_Interaction.SelectTool(tool), m_View);
}

void CViewerDlg::Private::OnUndo()
{
    applyEffects(m_Interaction.Undo(interactionContext()), m_View);
}

void CViewerDlg::Private::OnRedo()
{
    applyEffects(m_Interaction.Redo(interactionContext()), m_View);
}

InteractionContext CViewerDlg::Private::interactionContext()
{
    InteractionContext c;
    c.geometry = shownGeometry();
    c.layout = m_Live.viewGeometry();
    c.picture = &pictureInUse();
    c.frame.begin = [this](double x, double y) {
        return m_CalibDialogs.BeginFrameDrag(m_Measure.selectedCalib(), x, y);
    };
    c.frame.drag = [this](double x, double y) { return m_CalibDialogs.DragFrame(x, y); };
    c.frame.end = [this] { m_CalibDialogs.EndFrameDrag(); };
    if (m_SnapCheck->isChecked())
        c.snap = [this](MeasurePoint p, double radius) {
            // The picture's pixels are the display thread's while live: read under the frame lock.
            return m_Live.withFrame(
                [&](LiveFrames& f) { return SnapToEdge(f.picture, p, radius, kSnapThreshold); });
        };
    return c;
}

StripState CViewerDlg::Private::stripState() const
{
    return { m_StripScroll->value(), m_StripScroll->maximum(), kThumbnailWidth + ThumbnailGrid::kStripGap };
}

bool CViewerDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == d->m_View) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove: {
            const auto* e = static_cast<QMouseEvent*>(event);
            d->forwardMouse(*e, d->m_View->mapTo(this, e->position().toPoint()), d->m_View);
            return true;
        }
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// Outside the picture the window itself gets the mouse (the strip's box passes it on).
void CViewerDlg::mousePressEvent(QMouseEvent* event)
{
    d->forwardMouse(*event, event->position().toPoint(), d->control(IDC_STRIP));
}

void CViewerDlg::mouseDoubleClickEvent(QMouseEvent* event)
{
    d->forwardMouse(*event, event->position().toPoint(), d->control(IDC_STRIP));
}

void CViewerDlg::mouseMoveEvent(QMouseEvent* event)
{
    d->forwardMouse(*event, event->position().toPoint(), d->control(IDC_STRIP));
}

void CViewerDlg::mouseReleaseEvent(QMouseEvent* event)
{
    d->forwardMouse(*event, event->position().toPoint(), d->control(IDC_STRIP));
}

void CViewerDlg::wheelEvent(QWheelEvent* event)
{
    d->wheel(event);
}

void CViewerDlg::Private::wheel(QWheelEvent* event)
{
    const QPoint p = event->position().toPoint();
    const bool overStrip = m_bStripShown && stripRect().contains(p.x(), p.y());
    const bool overView = m_Live.viewGeometry().view.contains(p.x(), p.y());
    if (!overStrip && !overView) {
        event->ignore();
        return;
    }
    const QPoint delta = event->angleDelta();
    m_WheelRest += delta.y() != 0 ? delta.y() : delta.x();
    const int notches = m_WheelRest / kWheelNotch;
    m_WheelRest -= notches * kWheelNotch;
    if (notches != 0 && overStrip)
        applyStrip(StripMouse::OnWheel(notches, stripState()), control(IDC_STRIP));
    else if (notches != 0) // over the picture: zoom in (away from the user) or out at the pointer
        SetZoom(m_Zoom->currentIndex() + notches, event->position());
    event->accept();
}

void CViewerDlg::Private::forwardMouse(const QMouseEvent& event, QPoint client, QWidget* cursorOwner)
{
    if (overviewMouse(event, client, cursorOwner) || reticleMouse(event, client, cursorOwner))
        return;
    // The view's part of the event first, then the strip's: over a thumbnail the strip's hand wins.
    const QPointF fraction = event.position() - event.position().toPoint(); // the same at any whole offset
    const PointerEvent e { { client.x(), client.y() }, fraction.x(), fraction.y() };
    const int thumbnail = stripHit(client);
    const InteractionContext c = interactionContext();
    const bool left = event.button() == Qt::LeftButton;
    const bool right = event.button() == Qt::RightButton;
    InteractionEffects fx;
    StripEffects strip;
    switch (event.type()) {
    case QEvent::MouseButtonPress:
        if (left) {
            if (c.geometry.view.contains(e.client.x, e.client.y))
                m_Focus.reset(); // a click in the view starts the focus meter's best afresh
            fx = m_Interaction.OnLButtonDown(e, c);
            strip = m_StripMouse.OnLButtonDown(client.x(), thumbnail);
        } else if (right) {
            fx = m_Interaction.OnRButtonDown(e, c);
            strip = StripMouse::OnRButtonDown(thumbnail);
        }
        break;
    case QEvent::MouseButtonDblClick:
        // The second press of a double click comes as this event alone.
        if (left) {
            fx = m_Interaction.OnLButtonDblClk(e, c);
            strip = StripMouse::OnLButtonDblClk(thumbnail);
        } else if (right) {
            fx = m_Interaction.OnRButtonDown(e, c);
            strip = StripMouse::OnRButtonDown(thumbnail);
        }
        break;
    case QEvent::MouseButtonRelease:
        if (left) {
            m_StripMouse.OnLButtonUp();
            fx = m_Interaction.OnLButtonUp(e, c);
        } else if (right) {
            fx = m_Interaction.OnRButtonUp(e, c);
        }
        break;
    case QEvent::MouseMove:
        fx = m_Interaction.OnMouseMove(e, c);
        strip = m_StripMouse.OnMouseMove(client.x(), thumbnail, stripState());
        break;
    default:
        return;
    }
    applyEffects(fx, cursorOwner);
    applyStrip(strip, cursorOwner, event.globalPosition().toPoint());
}

void CViewerDlg::Private::applyEffects(const InteractionEffects& fx, QWidget* cursorOwner)
{
    if (fx.cursor && cursorOwner)
        cursorOwner->setCursor(*fx.cursor);
    if (fx.scroll)
        ScrollTo(fx.scroll->x, fx.scroll->y);
    if (fx.repaint & RepaintView)
        updateViewArea();
    if (fx.repaint & RepaintTools)
        for (int id : kToolButtons)
            control(id)->update();
}

void CViewerDlg::Private::applyStrip(const StripEffects& fx, QWidget* cursorOwner, QPoint globalPointer)
{
    if (fx.cursor && cursorOwner)
        cursorOwner->setCursor(*fx.cursor);
    if (fx.scroll)
        m_StripScroll->setValue(*fx.scroll);
    if (fx.repaint)
        InvalidateStrip();
    if (fx.open >= 0)
        OpenPicture(fx.open);
    if (fx.menu >= 0) {
        m_StripContext = fx.menu;
        std::unique_ptr<QMenu> menu(MakeThumbnailMenu(q, g_bJapanese != 0));
        OnStripCommand(m_Prompts.files.runMenu(*menu, globalPointer));
    }
}

bool CViewerDlg::Private::overviewMouse(const QMouseEvent& event, QPoint client, QWidget* cursorOwner)
{
    // The overview in the corner of a magnified view: a press or a drag there centres the view on that spot.
    const Rect overview = ViewOverview::Placement(shownGeometry());
    if (event.type() == QEvent::MouseButtonPress && event.button() == Qt::LeftButton
        && overview.contains(client.x(), client.y()))
        m_OverviewDrag = true;
    if (!m_OverviewDrag)
        return false;
    if (event.type() == QEvent::MouseButtonRelease) {
        m_OverviewDrag = false;
        return true;
    }
    const PicturePoint scroll = ViewOverview::ScrollTo(m_Live.viewGeometry(), overview, client.x(), client.y());
    ScrollTo(scroll.x, scroll.y);
    updateViewArea();
    if (cursorOwner)
        cursorOwner->setCursor(Qt::SizeAllCursor);
    return true;
}
