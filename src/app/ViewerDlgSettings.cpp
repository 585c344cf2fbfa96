// SET: the Image Setting dialog over the running live view (the Camera Setting dialog while it is stopped), the
// dialog's view of the settings and the colour image made anew after OK; COLOR (the overlay colours) and WB (the
// one-shot white-balance request).
#include <QCursor>
#include <QScreen>

#include <algorithm>

#include "platform/Language.h"
#include "ui/QtRect.h"
#include "app/ViewerDlgPrivate.h"
#include "dialogs/ui/CImageSetDlg.h"
#include "dialogs/ui/CCameraSetDlg.h"
#include "dialogs/ui/CColorSetDlg.h"

namespace {

// The dialog's part of the viewer's settings, read and changed through their one owner.
class LiveImageSettings : public ImageSetTarget {
public:
    explicit LiveImageSettings(LiveSettings& settings)
        : m_Settings(settings)
    {
    }

    ImageSetValues values() const override { return m_Settings.read(valuesOf); }

    void change(const std::function<void(ImageSetValues&)>& edit) override
    {
        m_Settings.change([&edit](ViewerSettings& s) {
            ImageSetValues v = valuesOf(s);
            edit(v);
            store(v, s);
        });
    }

private:
    // The dialog's values carry the settings' own names: one list copies either way.
    template <typename To, typename From> static void copyFields(To& to, const From& from)
    {
        to.m_BayerR = from.m_BayerR, to.m_BayerG = from.m_BayerG, to.m_BayerB = from.m_BayerB;
        to.m_BayerMode = from.m_BayerMode, to.m_BayerFlg = from.m_BayerFlg;
        to.m_BinaryFlg = from.m_BinaryFlg, to.m_Binary = from.m_Binary;
        to.m_InterlaceFlg = from.m_InterlaceFlg, to.m_Interlace = from.m_Interlace;
        to.m_AutoIrisFlg = from.m_AutoIrisFlg, to.m_AutoIrisMode = from.m_AutoIrisMode;
        to.m_HLS = from.m_HLS;
        to.Gamma = from.Gamma;
        to.GlovalGain = from.GlovalGain, to.ColorGainG1 = from.ColorGainG1, to.ColorGainR = from.ColorGainR;
        to.ColorGainB = from.ColorGainB, to.ColorGainG2 = from.ColorGainG2;
        to.Shutter = from.Shutter;
        to.MirrorV = from.MirrorV;
    }
    static ImageSetValues valuesOf(const ViewerSettings& s)
    {
        ImageSetValues v;
        copyFields(v, s);
        return v;
    }
    static void store(const ImageSetValues& v, ViewerSettings& s) { copyFields(s, v); }

    LiveSettings& m_Settings;
};

// Where a dialog of the given size goes: beside the picture (over the right-hand panel), moved left and up as
// far as it must to lie on the screen, so that as much of the live picture as possible stays in sight.
QPoint besideView(const QSize& size, const QRect& view, const QRect& screen)
{
    constexpr int kGap = 8;
    const int x = std::min(view.right() + 1 + kGap, screen.right() + 1 - size.width());
    const int y = std::min(view.top(), screen.bottom() + 1 - size.height());
    return { std::max(x, screen.left()), std::max(y, screen.top()) };
}

} // namespace

void CViewerDlg::Private::OnSet()
{
    // The Camera Setting dialog sets the own camera's timing and clock: another source has none.
    if (m_bLiveStopped && m_Live.source().ownCamera())
        OpenCameraSettings();
    else
        OpenImageSettings();
}

void CViewerDlg::Private::OpenImageSettings()
{
    LiveImageSettings target(m_Settings);
    CImageSetDlg dlg(target, m_Live.source(), q);
    dlg.setAutoExposureSources([this] { return m_Live.autoExposureGain(); },
                               [this] { return m_Live.autoExposureShutter(); });
    dlg.setHistogramFeed(&m_Live.histogramFeed());
    dlg.adjustSize();
    if (const QScreen* s = q->screen()) {
        const QRect view = toQRect(shownGeometry().view);
        dlg.move(besideView(dlg.size(), QRect(q->mapToGlobal(view.topLeft()), view.size()), s->availableGeometry()));
    }
    // The status timer and the view's polling go on inside the dialog's event loop: the picture keeps moving.
    const int result = m_Prompts.runImageSetting(dlg);
    if (result == QDialog::Accepted) {
        // The colour image for RGB or YUV data, then the view's layout for its size.
        m_Live.recreateColorImage();
        RelayoutView();
        q->update();
    }
}

void CViewerDlg::Private::OpenCameraSettings()
{
    const ViewerSettings v = m_Settings.values();
    CCameraSetDlg dialog({ v.TH, v.TV, v.EH, v.EV, v.EHS, v.EVS, v.timer, v.BufSize, v.Clock }, q);
    if (m_Prompts.runSettingDialog(dialog) != QDialog::Accepted)
        return;
    // The camera takes the window and clock at its next start.
    const CameraSetValues c = dialog.values();
    m_Settings.change([&c](ViewerSettings& s) {
        s.TH = c.TH, s.TV = c.TV, s.EH = c.EH, s.EV = c.EV, s.EHS = c.EHS, s.EVS = c.EVS;
        s.timer = c.timer, s.BufSize = c.BufSize, s.Clock = c.Clock;
    });
}

void CViewerDlg::Private::OnColor()
{
    const OverlayColors colors = m_Settings.read([](const ViewerSettings& s) { return s.color; });
    CColorSetDlg dialog(colors.text, colors.line, QCursor::pos(), q);
    m_Prompts.runSettingDialog(dialog);
    // There is no cancelling: whatever was chosen counts.
    m_Settings.change([&dialog](ViewerSettings& s) {
        s.color.text = dialog.textColor();
        s.color.line = dialog.lineColor();
    });
    applyPeaking(); // peaking shows in the text colour
    q->update();
}

void CViewerDlg::Private::OnWB()
{
    m_Live.toggleWhiteBalance();
    q->update();
}

QString CViewerDlg::Private::whiteBalanceNote() const
{
    // WB measures the sensor's mosaic on its way through the colour conversion: without it the request waits,
    // and the caption says why nothing happens.
    const bool waiting = m_Live.format().pixels != LiveSource::Pixels::Mosaic
        || m_Settings.read([](const ViewerSettings& s) { return s.m_BayerFlg == 0; });
    if (!waiting || !m_Settings.read([](const ViewerSettings& s) { return s.m_WB_Flg != 0; }))
        return {};
    return g_bJapanese ? QString::fromUtf8("  -  ホワイトバランスはベイヤー変換を有効にすると測定されます")
                       : QStringLiteral("  -  White balance waits for the colour conversion (Bayer) to be on");
}
