// The main window's camera source: the choice at start (command line, settings, the devices present), the
// caption that names it, the display loop's frames from it, auto exposure through its controls, and the live
// view stopped with a message when the camera vanishes.
#include <QMessageBox>

#include "app/CameraSources.h"
#include "app/ViewerDlg.h"
#include "imaging/AutoExposure.h"
#include "platform/PrivateProfile.h"
#include "platform/StringTable.h"

namespace {

// The settings key naming the camera: "own", a video device's path, or empty for the automatic choice.
constexpr const char* kCameraSourceKey = "CameraSource";
// The key giving a video device's frame size ("1280x720"; empty: the largest up to the sensor's size).
constexpr const char* kCameraSizeKey = "CameraSize";
// "The camera was disconnected or stopped answering..."
constexpr int kCameraLostText = 1012;

// Not modal for the program: the window stays usable (the last picture can still be saved and measured).
void warnCameraLost(QWidget* parent, const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Warning, parent->windowTitle(), text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace

void CViewerDlg::openSource()
{
    if (!tellCameraLost)
        tellCameraLost = [this](const QString& text) { warnCameraLost(this, text); };
    ProfileFile file;
    file.load(m_SettingsPath);
    const std::string stored = file.value(SettingsFile::kSection, kCameraSourceKey).value_or(std::string());
    const std::string size = file.value(SettingsFile::kSection, kCameraSizeKey).value_or(std::string());
    m_Source = OpenCameraSource(m_CameraOption.toStdString(), stored, cameraSources(), size);
}

QString CViewerDlg::captionFor(const QString& text) const
{
    if (!m_Source || m_Source->ownCamera())
        return text;
    return text + "  -  " + QString::fromStdString(m_Source->name());
}

bool CViewerDlg::showNextFrame()
{
    switch (m_Source->nextFrame()) {
    case LiveSource::FrameState::Ready:
        return runDisplayPass();
    case LiveSource::FrameState::Gone:
        reportSourceLost();
        return false;
    case LiveSource::FrameState::None:
        break;
    }
    return false;
}

void CViewerDlg::reportSourceLost()
{
    if (m_LossReported.exchange(true))
        return;
    // The display thread never waits for the message: the user-interface thread, polling the view, stops the
    // live view (which joins this thread) and shows it. The hand-over is one atomic word, no event.
    m_LostInStart = m_CameraStarts.load() + 1;
}

bool CViewerDlg::takeSourceLoss()
{
    const uint32_t lost = m_LostInStart.exchange(0);
    if (lost == 0)
        return false;
    onSourceLost(lost - 1);
    return true;
}

void CViewerDlg::onSourceLost(uint32_t start)
{
    // A LIVE pressed meanwhile has started the camera afresh (or stopped it): this loss is over.
    if (m_Destroyed || m_bLiveStopped || start != m_CameraStarts.load())
        return;
    OnLive(); // stops the live view as the button does; the last frame stays for measuring and saving
    tellCameraLost(LoadString(kCameraLostText));
}

void CViewerDlg::adaptToSource(ProcessSettings& process) const
{
    if (m_SourceFormat.pixels != LiveSource::Pixels::Mosaic) {
        process.bayerFlg = 0;
        process.rgbFlg = 0;
        process.yuvFlg = 0;
    } else if (m_SourceFormat.bayerMode >= 0) {
        process.bayerMode = m_SourceFormat.bayerMode;
    }
}

int32_t CViewerDlg::nextExposure(LiveSource::Control control, double factor)
{
    const LiveSource::ControlRange range = m_Source->range(control);
    if (!range.present)
        return -1;
    int32_t value = 0; // a value that cannot be read counts as 0, as the own camera's always has
    m_Source->getControl(control, &value);
    int32_t next = 0;
    if (!m_Source->ownCamera())
        next = NextControlValue(value, factor, range);
    else if (control == LiveSource::Control::Gain)
        next = AutoExposure::NextGain(value, factor);
    else
        next = AutoExposure::NextShutter(value, factor);
    m_Source->setControl(control, next);
    return next;
}
