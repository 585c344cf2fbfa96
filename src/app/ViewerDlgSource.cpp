// The main window's camera source: the choice at start (command line, settings, the devices present), the
// caption that names it, and the live view stopped with a message when the camera vanishes.
#include <QMessageBox>

#include "app/ViewerDlg.h"
#include "live/CameraSources.h"
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
    m_Live.setSource(OpenCameraSource(m_CameraOption.toStdString(), stored, cameraSources(), size));
}

QString CViewerDlg::captionFor(const QString& text)
{
    if (!m_Live.hasSource() || m_Live.source().ownCamera())
        return text;
    return text + "  -  " + QString::fromStdString(m_Live.source().name());
}

bool CViewerDlg::takeSourceLoss()
{
    if (!m_Live.sourceLost() || m_Destroyed || m_bLiveStopped)
        return false;
    OnLive(); // stops the live view as the button does; the last frame stays for measuring and saving
    tellCameraLost(LoadString(kCameraLostText));
    return true;
}
