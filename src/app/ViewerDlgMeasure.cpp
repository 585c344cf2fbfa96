// The main window's measurements: the results list beside the picture and its recalculation when another
// calibration is chosen, DELETE, CLEAR, CSV, CALIB and Scale, and the measurements drawn over the view and into
// saved pictures.
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QPainter>
#include <QTableView>

#include "ui/QtRect.h"
#include "app/ViewerDlgPrivate.h"
#include "measure/ui/ResultsTable.h"
#include "calib/CalibOverlay.h"
#include "calib/ui/CCalibDlg.h"
#include "files/FileTexts.h"
#include "imaging/Dc.h"
#include "measure/MeasureLayer.h"
#include "imaging/ViewOverview.h"
#include "measure/MeasureOverlay.h"
#include "platform/Language.h"

ResultsTable CViewerDlg::Private::resultsTable() const
{
    return ResultsTable(*m_Results);
}

void CViewerDlg::Private::OnSelchangeCalib()
{
    // Every result, and the scale bar, in the selected calibration's unit and factors.
    m_Measure.selectCalibration(m_CalibCombo->currentIndex(), &pictureInUse());
    updateViewArea();
}

void CViewerDlg::Private::syncCalibCombo()
{
    // The ten stored entries, then the one an opened picture brought, while there is one.
    const std::optional<CalibEntry>& file = m_Measure.fileCalibration();
    while (m_CalibCombo->count() > CalibTable::kCount)
        m_CalibCombo->removeItem(m_CalibCombo->count() - 1);
    if (file)
        m_CalibCombo->addItem(FileTexts::FromFile(g_bJapanese != 0, file->name));
    m_CalibCombo->setCurrentIndex(m_Measure.calibIndex());
    updateViewArea();
}

void CViewerDlg::Private::OnDelete()
{
    applyEffects(m_Interaction.Delete(resultsTable().SelectedItems()), nullptr);
}

void CViewerDlg::Private::OnClear()
{
    applyEffects(m_Interaction.Clear(), nullptr);
}

void CViewerDlg::Private::OnCsv()
{
    CsvExport csv;
    csv.askPath = m_Prompts.askCsvPath;
    csv.tell = m_Prompts.files.tell;
    if (csv.OnCsv(m_Measure.results().texts(TextUse::File), g_bJapanese != 0, QCoreApplication::applicationDirPath(),
                  m_Thumbnails.saveFolder()))
        m_Measure.markExported();
}

void CViewerDlg::Private::drawFinished(Dc& dc, const ViewGeometry& geometry, const OverlayColors& colors)
{
    MeasureOverlay overlay(dc, geometry, colors.line, colors.text);
    overlay.DrawMeasurements(m_Measure.items(), [&](Dc& d, const ViewGeometry& g) {
        DrawScaleBar(d, m_Measure.scale(), g, colors.line, colors.text);
    });
}

void CViewerDlg::Private::drawInProgress(Dc& dc, const ViewGeometry& geometry, const OverlayColors& colors,
                                std::optional<Point> pointer)
{
    if (pointer && m_CalibDialogs.calibOpen())
        DrawCalibFrame(dc, m_Measure.selectedCalib(), geometry, colors.line);
    MeasureOverlay(dc, geometry, colors.line, colors.text).DrawCurrentItem(m_Measure.current(), pointer);
}

void CViewerDlg::Private::paintOverlay(QPainter& painter)
{
    const ViewGeometry g = shownGeometry();
    if (g.view.isEmpty())
        return;
    const OverlayColors colors = m_Settings.read([](const ViewerSettings& s) { return s.color; });
    // The finished items and the scale bar come from the kept layer unless something they show changed.
    MeasureLayer::Key key { g, colors.line, colors.text, 0 };
    const ScaleData& scale = m_Measure.scale();
    Digest content = Digest()
                      .add(m_Measure.items())
                      .add(scale.Visible)
                      .add(scale.Type)
                      .add(scale.unit)
                      .add(scale.Pos)
                      .add(scale.Size)
                      .add(scale.mppX)
                      .add(scale.mppY);
    addToDigest(content, m_Session.overlayOptions(), guideScale());
    key.content = content.value();
    paintReference(painter, g);
    // Nothing finished, no bar and no guides: nothing to lay over the picture.
    const OverlayOptions& overlay = m_Session.overlayOptions();
    if (m_Measure.items().count() > 0 || scale.Visible || overlay.reticle || overlay.grid)
        painter.drawImage(QPoint(g.view.left, g.view.top), m_MeasureLayer.Update(key, [&](Dc& dc) {
            drawGuides(dc, g, colors);
            drawFinished(dc, g, colors);
        }));

    // The item being drawn runs to the pointer; the calibration frame shows while its dialog is open.
    const QPoint cursor = q->mapFromGlobal(QCursor::pos());
    const Point p = m_Interaction.pointer().value_or(Point { cursor.x(), cursor.y() });
    painter.save();
    painter.translate(g.view.left, g.view.top);
    {
        Dc dc(painter);
        // The Dc sets its own clip on every call, so the view's bounds must be its clip: a rubber band or a
        // large circle reaches past the view, over the strip and the panel.
        dc.SetClipRect({ 0, 0, g.view.width(), g.view.height() });
        drawInProgress(dc, g, colors, Point { p.x - g.view.left, p.y - g.view.top });
    }
    // Where the last point snapped to an edge: a small ring with a cross.
    if (const std::optional<MeasurePoint> snapped = m_Interaction.lastSnap()) {
        const Point at = imageToView(*snapped, viewScale(g));
        constexpr int kRing = 5;
        painter.setPen(QPen(QColor(255, 200, 0), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QPoint(at.x, at.y), kRing, kRing);
        painter.drawLine(at.x - kRing - 3, at.y, at.x + kRing + 3, at.y);
        painter.drawLine(at.x, at.y - kRing - 3, at.x, at.y + kRing + 3);
    }
    painter.restore();
    paintOverview(painter, g, colors.line);
}

void CViewerDlg::Private::paintOverview(QPainter& painter, const ViewGeometry& g, ColorRef line)
{
    const Rect o = ViewOverview::Placement(g);
    if (o.isEmpty())
        return;
    // A live picture is shrunk again a few times a second, never waiting for the display pass.
    constexpr int kRefreshMs = 200;
    const bool live = m_Live.isLive();
    const QSize size(o.width() * g.devicePixelRatio, o.height() * g.devicePixelRatio); // at device pixels
    if (m_Overview.size() != size || !live || m_OverviewAge.hasExpired(kRefreshMs)) {
        if (m_Live.overview(size.width(), size.height(), m_Overview, !live))
            m_OverviewAge.start();
    }
    if (m_Overview.size() != size)
        return;
    m_Overview.setDevicePixelRatio(g.devicePixelRatio);
    painter.drawImage(QPoint(o.left, o.top), m_Overview);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QColor(255, 255, 255));
    painter.drawRect(o.left - 1, o.top - 1, o.width() + 1, o.height() + 1);
    const Rect v = ViewOverview::VisiblePart(g, o);
    painter.setPen(QColor(RedOf(line), GreenOf(line), BlueOf(line)));
    painter.drawRect(v.left, v.top, std::max(v.width() - 1, 1), std::max(v.height() - 1, 1));
}

void CViewerDlg::Private::drawOverlayForSave(DibImage& copy)
{
    // Picture pixels at x1 from the origin, whatever the view's zoom and scroll; no pointer to run to.
    ViewGeometry g;
    g.view = { 0, 0, copy.width(), copy.height() };
    g.zoomIndex = 1;
    g.imageWidth = copy.width();
    g.imageHeight = copy.height();
    const OverlayColors colors = m_Settings.read([](const ViewerSettings& s) { return s.color; });
    Dc dc(copy);
    if (m_Session.overlayOptions().burnIn)
        drawGuides(dc, g, colors);
    drawFinished(dc, g, colors);
    drawInProgress(dc, g, colors, std::nullopt);
}

void CViewerDlg::Private::OnCalib()
{
    // The entry an opened picture brought is not edited: the dialog takes the stored entry chosen last, and
    // the list and the results go over to it first, so that the frame drawn is the one edited.
    if (m_Measure.calibIndex() != m_Measure.storedCalibIndex()) {
        m_CalibCombo->setCurrentIndex(m_Measure.storedCalibIndex());
        OnSelchangeCalib();
    }
    if (m_CalibDialogs.OnCalib(m_Measure.calibration(), m_Measure.calibIndex(), m_CalibCombo, QCursor::pos()))
        updateViewArea();
}

void CViewerDlg::Private::OnScale()
{
    const DibImage& picture = pictureInUse();
    if (m_CalibDialogs.OnScale(m_Measure.scale(), picture.width(), picture.height(), QCursor::pos()))
        updateViewArea();
}

void CViewerDlg::Private::OnCalibClosed(int result, int position)
{
    // A calibration confirmed with OK lasts beyond this run.
    if (result == CCalibDlg::kClosedOk && !m_Session.saveCalibration(position) && m_Prompts.files.tell)
        m_Prompts.files.tell(g_bJapanese ? QString::fromUtf8("校正値を保存できませんでした。")
                                         : QStringLiteral("The calibration could not be saved."));
    // The selected entry may have been edited: every result again with it.
    m_Measure.selectCalibration(m_Measure.calibIndex(), &pictureInUse());
    updateViewArea();
}

void CViewerDlg::Private::updateViewArea()
{
    q->update(toQRect(shownGeometry().view));
}

