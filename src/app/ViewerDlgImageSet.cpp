// SET: the Image Setting dialog over the running live view (the Camera Setting dialog while it is stopped),
// the dialog's view of the settings, and the colour image made anew after OK.
#include <QScreen>

#include <algorithm>

#include "ui/QtRect.h"
#include "app/ViewerDlg.h"
#include "dialogs/ui/CImageSetDlg.h"

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

void CViewerDlg::OnSet()
{
    // The Camera Setting dialog sets the own camera's timing and clock: another source has none.
    if (liveStopped() && m_Live.source().ownCamera())
        OpenCameraSettings();
    else
        OpenImageSettings();
}

void CViewerDlg::OpenImageSettings()
{
    LiveImageSettings target(m_Settings);
    CImageSetDlg dlg(target, m_Live.source(), this);
    dlg.setAutoExposureSources([this] { return m_Live.autoExposureGain(); },
                               [this] { return m_Live.autoExposureShutter(); });
    dlg.setHistogramFeed(&m_Live.histogramFeed());
    dlg.adjustSize();
    if (const QScreen* s = screen()) {
        const QRect view = toQRect(shownGeometry().view);
        dlg.move(besideView(dlg.size(), QRect(mapToGlobal(view.topLeft()), view.size()), s->availableGeometry()));
    }
    m_pImageSetDlg = &dlg;
    // The status timer and the view's polling go on inside the dialog's event loop: the picture keeps moving.
    const int result = dlg.exec();
    m_pImageSetDlg = nullptr;
    if (result == QDialog::Accepted) {
        // The colour image for RGB or YUV data, then the view's layout for its size.
        m_Live.recreateColorImage();
        RelayoutView();
        update();
    }
}
